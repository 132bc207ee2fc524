// The tree image list built in strips holds what adding the icons one at a time gives, pixel for pixel
// and in every way it is drawn.
#include "resources/ShellIds.h"
#include "shell/TreeImages.h"
#include "support/WindowTesting.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <cstdint>
#include <vector>

namespace {

// The list as the frame built it one icon at a time.
HIMAGELIST IconByIcon(HINSTANCE instance, int first_icon, int count, int size)
{
    HIMAGELIST list = ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, 2 * count, 0);
    for (int i = 0; i < count; ++i) {
        auto icon = static_cast<HICON>(
            LoadImageW(instance, MAKEINTRESOURCEW(first_icon + i), IMAGE_ICON, size, size, 0));
        ImageList_AddIcon(list, icon);
        if (icon)
            DestroyIcon(icon);
    }
    for (int i = 0; i < count; ++i) {
        HICON blended = ImageList_GetIcon(list, i, ILD_BLEND50);
        ImageList_AddIcon(list, blended);
        if (blended)
            DestroyIcon(blended);
    }
    return list;
}

// The pixels of a bitmap's part, as 32-bit colours.
std::vector<uint32_t> Pixels(HBITMAP bitmap, const RECT& part)
{
    BITMAP header = {};
    GetObjectW(bitmap, sizeof(header), &header);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = header.bmWidth;
    info.bmiHeader.biHeight = -header.bmHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    std::vector<uint32_t> all(static_cast<size_t>(header.bmWidth) * header.bmHeight);
    HDC dc = CreateCompatibleDC(nullptr);
    GetDIBits(dc, bitmap, 0, header.bmHeight, all.data(), &info, DIB_RGB_COLORS);
    DeleteDC(dc);
    std::vector<uint32_t> pixels;
    for (LONG y = part.top; y < part.bottom; ++y)
        for (LONG x = part.left; x < part.right; ++x)
            pixels.push_back(all[static_cast<size_t>(y) * header.bmWidth + x]);
    return pixels;
}

// Image `index` drawn in `style` over a coloured ground.
std::vector<uint32_t> Drawn(HIMAGELIST list, int index, UINT style, int size)
{
    BITMAPINFO info = window_testing::TopDownBitmapInfo(size, size);
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP target = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, target);
    RECT all = {0, 0, size, size};
    HBRUSH ground = CreateSolidBrush(RGB(40, 160, 90));
    FillRect(dc, &all, ground);
    DeleteObject(ground);
    ImageList_Draw(list, index, dc, 0, 0, style);
    GdiFlush();
    std::vector<uint32_t> pixels(static_cast<uint32_t*>(bits), static_cast<uint32_t*>(bits) + size * size);
    SelectObject(dc, old);
    DeleteObject(target);
    DeleteDC(dc);
    return pixels;
}

void ExpectSameImages(HIMAGELIST expected, HIMAGELIST actual, int size, const char* name)
{
    int count = ImageList_GetImageCount(expected);
    ASSERT_EQ(ImageList_GetImageCount(actual), count) << name;
    for (int i = 0; i < count; ++i) {
        IMAGEINFO want = {}, got = {};
        ASSERT_TRUE(ImageList_GetImageInfo(expected, i, &want)) << name << " image " << i;
        ASSERT_TRUE(ImageList_GetImageInfo(actual, i, &got)) << name << " image " << i;
        EXPECT_EQ(Pixels(got.hbmImage, got.rcImage), Pixels(want.hbmImage, want.rcImage))
            << name << " colours of image " << i;
        EXPECT_EQ(Pixels(got.hbmMask, got.rcImage), Pixels(want.hbmMask, want.rcImage))
            << name << " mask of image " << i;
        for (UINT style : {ILD_NORMAL, ILD_TRANSPARENT, ILD_SELECTED, ILD_MASK})
            EXPECT_EQ(Drawn(actual, i, style, size), Drawn(expected, i, style, size))
                << name << " image " << i << " drawn in style " << style;
    }
}

TEST(TreeImagesTest, StripsHoldWhatIconByIconGives)
{
    struct Case
    {
        const char* name;
        int first_icon;
        int count;
        int size;
    };
    const Case cases[] = {
        {"the frame's images", IDI_TREE_FIRST, IDI_TREE_COUNT, 16},
        {"the large images", IDI_TREE_FIRST, IDI_TREE_COUNT, 32},
        {"scaled images", IDI_TREE_FIRST, 5, 20},
        // Past the last icon: the missing one is skipped and the blended looks shift, as before.
        {"a range past the last icon", IDI_TREE_FIRST + IDI_TREE_COUNT - 2, 3, 16},
    };
    HINSTANCE instance = GetModuleHandleW(nullptr);
    for (const Case& test : cases) {
        HIMAGELIST expected = IconByIcon(instance, test.first_icon, test.count, test.size);
        HIMAGELIST actual = CreateTreeImageList(instance, test.first_icon, test.count, test.size);
        ASSERT_NE(actual, nullptr) << test.name;
        ExpectSameImages(expected, actual, test.size, test.name);
        ImageList_Destroy(actual);
        ImageList_Destroy(expected);
    }
}

} // namespace
