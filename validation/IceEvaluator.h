#pragma once
// The evaluation interface of the platform's ICE evaluation object ("MSI.EVALCOM2.1"), declared here by
// the roles of its slots after IUnknown's three. Slot 8 is not used.
#include <windows.h>
#include <objbase.h>

// Called for each ICE message; answering FALSE makes the object stop.
typedef BOOL(WINAPI* IceDisplayCallback)(void* context, UINT type, LPCWSTR ice, LPCWSTR description,
                                         LPCWSTR location);

struct IIceEvaluator : public IUnknown
{
    virtual HRESULT STDMETHODCALLTYPE OpenDatabase(LPCWSTR path) = 0;
    virtual HRESULT STDMETHODCALLTYPE OpenCub(LPCWSTR path) = 0;
    virtual HRESULT STDMETHODCALLTYPE CloseDatabase() = 0;
    virtual HRESULT STDMETHODCALLTYPE CloseCub() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetDisplay(IceDisplayCallback callback, void* context) = 0;
    virtual HRESULT STDMETHODCALLTYPE Unused8(void* first, void* second) = 0;
    // ICE names separated by ":".
    virtual HRESULT STDMETHODCALLTYPE Validate(LPCWSTR ices) = 0;
};

// {E482E5C6-E31E-4143-A2E6-DBC3D8E4B8D3}
const IID kIceEvaluatorId = {0xE482E5C6, 0xE31E, 0x4143, {0xA2, 0xE6, 0xDB, 0xC3, 0xD8, 0xE4, 0xB8, 0xD3}};
