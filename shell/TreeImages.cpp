#include "shell/TreeImages.h"

#include "foundation/Errors.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace {

BITMAPINFO ColourBitsInfo(int width, int height)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // rows from the top
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

// The colour and mask bitmaps of an icon, deleted with it.
class IconParts
{
public:
    explicit IconParts(HICON icon) : valid_(icon && GetIconInfo(icon, &parts_)) {}
    ~IconParts()
    {
        if (!valid_)
            return;
        DeleteObject(parts_.hbmColor);
        DeleteObject(parts_.hbmMask);
    }
    IconParts(const IconParts&) = delete;
    IconParts& operator=(const IconParts&) = delete;

    // A colour icon of `size` pixels in 32 bits: the image list takes its pixels as they are, alpha
    // included, whether they come as an icon or in a strip.
    bool IsPlainColour(int size) const
    {
        BITMAP colour = {}, mask = {};
        return valid_ && parts_.hbmColor && GetObjectW(parts_.hbmColor, sizeof(colour), &colour) &&
               GetObjectW(parts_.hbmMask, sizeof(mask), &mask) && colour.bmWidth == size &&
               colour.bmHeight == size && colour.bmBitsPixel == 32 && mask.bmWidth == size &&
               mask.bmHeight == size;
    }
    HBITMAP colour() const { return parts_.hbmColor; }
    HBITMAP mask() const { return parts_.hbmMask; }

private:
    ICONINFO parts_ = {};
    bool valid_;
};

class MemoryDC
{
public:
    MemoryDC() : dc_(CreateCompatibleDC(nullptr))
    {
        if (!dc_)
            tfc::throw_last_error(L"CreateCompatibleDC");
    }
    ~MemoryDC() { DeleteDC(dc_); }
    MemoryDC(const MemoryDC&) = delete;
    MemoryDC& operator=(const MemoryDC&) = delete;
    HDC get() const { return dc_; }

private:
    HDC dc_;
};

class Bitmap
{
public:
    explicit Bitmap(HBITMAP bitmap) : bitmap_(bitmap) {}
    ~Bitmap()
    {
        if (bitmap_)
            DeleteObject(bitmap_);
    }
    Bitmap(const Bitmap&) = delete;
    Bitmap& operator=(const Bitmap&) = delete;
    HBITMAP get() const { return bitmap_; }

private:
    HBITMAP bitmap_;
};

// Adds every icon in one call of a strip of their pixels and masks; false, with nothing added, unless
// every one is a plain colour icon of the list's size.
bool AddAsStrip(HIMAGELIST list, const std::vector<HICON>& icons, int size)
{
    int count = static_cast<int>(icons.size());
    std::vector<std::unique_ptr<IconParts>> parts;
    for (HICON icon : icons) {
        parts.push_back(std::make_unique<IconParts>(icon));
        if (!parts.back()->IsPlainColour(size))
            return false;
    }
    MemoryDC source, target;
    BITMAPINFO strip_info = ColourBitsInfo(size * count, size);
    void* strip_bits = nullptr;
    Bitmap colour(CreateDIBSection(target.get(), &strip_info, DIB_RGB_COLORS, &strip_bits, nullptr, 0));
    Bitmap mask(CreateBitmap(size * count, size, 1, 1, nullptr));
    if (!colour.get() || !mask.get())
        return false;
    GdiFlush();
    std::vector<uint32_t> pixels(static_cast<size_t>(size) * size);
    BITMAPINFO icon_info = ColourBitsInfo(size, size);
    HGDIOBJ old_target = SelectObject(target.get(), mask.get());
    HGDIOBJ old_source = GetCurrentObject(source.get(), OBJ_BITMAP);
    bool whole = true;
    for (int i = 0; i < count && whole; ++i) {
        whole = GetDIBits(source.get(), parts[i]->colour(), 0, size, pixels.data(), &icon_info,
                          DIB_RGB_COLORS) == size;
        for (int row = 0; row < size && whole; ++row)
            std::memcpy(static_cast<uint32_t*>(strip_bits) + (static_cast<size_t>(row) * count + i) * size,
                        pixels.data() + static_cast<size_t>(row) * size, size * sizeof(uint32_t));
        whole = whole && SelectObject(source.get(), parts[i]->mask()) &&
                BitBlt(target.get(), i * size, 0, size, size, source.get(), 0, 0, SRCCOPY);
        SelectObject(source.get(), old_source);
    }
    SelectObject(target.get(), old_target);
    return whole && ImageList_Add(list, colour.get(), mask.get()) >= 0;
}

void AddIcons(HIMAGELIST list, const std::vector<HICON>& icons, int size)
{
    if (AddAsStrip(list, icons, size))
        return;
    for (HICON icon : icons)
        ImageList_AddIcon(list, icon);
}

void DestroyIcons(std::vector<HICON>& icons)
{
    for (HICON icon : icons) {
        if (icon)
            DestroyIcon(icon);
    }
    icons.clear();
}

} // namespace

HIMAGELIST CreateTreeImageList(HINSTANCE instance, int first_icon, int count, int size)
{
    HIMAGELIST list = ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, 2 * count, 0);
    if (!list)
        tfc::throw_last_error(L"ImageList_Create");
    std::vector<HICON> icons;
    try {
        for (int i = 0; i < count; ++i)
            icons.push_back(static_cast<HICON>(
                LoadImageW(instance, MAKEINTRESOURCEW(first_icon + i), IMAGE_ICON, size, size, 0)));
        AddIcons(list, icons, size);
        DestroyIcons(icons);
        // The selected or empty look of image i is image i + count. With an icon missing, each look is
        // taken after the previous one was added, as always: the later ones then blend looks.
        if (ImageList_GetImageCount(list) == count) {
            for (int i = 0; i < count; ++i)
                icons.push_back(ImageList_GetIcon(list, i, ILD_BLEND50));
            AddIcons(list, icons, size);
            DestroyIcons(icons);
        } else {
            for (int i = 0; i < count; ++i) {
                icons.push_back(ImageList_GetIcon(list, i, ILD_BLEND50));
                ImageList_AddIcon(list, icons.back());
                DestroyIcons(icons);
            }
        }
    } catch (...) {
        DestroyIcons(icons);
        ImageList_Destroy(list);
        throw;
    }
    return list;
}
