// Result codes: their names and descriptions, the error display with its exit
// codes, the error trace and the debugger output.
#include <cstdarg>
#include <cwchar>

#include "common/fw_internal.h"

namespace {

struct ErrorEntry {
    HRESULT hr;
    const wchar_t* name;
    const wchar_t* description;
};

#define FW_ERROR_ENTRY(code, text) {code, FW_WIDEN_(#code), text}

// Every code this system's calls return. The first entry of a value wins
// (system codes of the errno range may share a value with a named code).
const ErrorEntry kErrorTable[] = {
    // general
    FW_ERROR_ENTRY(S_OK, L"The operation succeeded."),
    FW_ERROR_ENTRY(S_FALSE, L"The operation succeeded with nothing to do."),
    FW_ERROR_ENTRY(E_NOTIMPL, L"Not implemented."),
    FW_ERROR_ENTRY(E_NOINTERFACE, L"No such interface supported."),
    FW_ERROR_ENTRY(E_POINTER, L"Invalid pointer."),
    FW_ERROR_ENTRY(E_ABORT, L"Operation aborted."),
    FW_ERROR_ENTRY(E_FAIL, L"Unspecified error."),
    FW_ERROR_ENTRY(E_UNEXPECTED, L"Catastrophic failure."),
    FW_ERROR_ENTRY(E_ACCESSDENIED, L"General access denied error."),
    FW_ERROR_ENTRY(E_OUTOFMEMORY, L"Ran out of memory."),
    FW_ERROR_ENTRY(E_INVALIDARG, L"One or more arguments are invalid."),
    FW_ERROR_ENTRY(ERROR_CLASS_ALREADY_EXISTS_HR, L"Class already exists."),
    FW_ERROR_ENTRY(STRSAFE_E_INSUFFICIENT_BUFFER, L"The data area passed to a system call is too small."),
    // system (errno) failures
    {HRESULT_FROM_ERRNO(1), L"EPERM", L"Operation not permitted."},
    {HRESULT_FROM_ERRNO(2), L"ENOENT", L"No such file or directory."},
    {HRESULT_FROM_ERRNO(4), L"EINTR", L"Interrupted system call."},
    {HRESULT_FROM_ERRNO(9), L"EBADF", L"Bad file descriptor."},
    {HRESULT_FROM_ERRNO(12), L"ENOMEM", L"Cannot allocate memory."},
    {HRESULT_FROM_ERRNO(13), L"EACCES", L"Permission denied."},
    {HRESULT_FROM_ERRNO(16), L"EBUSY", L"Device or resource busy."},
    {HRESULT_FROM_ERRNO(17), L"EEXIST", L"File exists."},
    {HRESULT_FROM_ERRNO(19), L"ENODEV", L"No such device."},
    {HRESULT_FROM_ERRNO(20), L"ENOTDIR", L"Not a directory."},
    {HRESULT_FROM_ERRNO(21), L"EISDIR", L"Is a directory."},
    {HRESULT_FROM_ERRNO(22), L"EINVAL", L"Invalid argument."},
    {HRESULT_FROM_ERRNO(24), L"EMFILE", L"Too many open files."},
    {HRESULT_FROM_ERRNO(27), L"EFBIG", L"File too large."},
    {HRESULT_FROM_ERRNO(28), L"ENOSPC", L"No space left on device."},
    {HRESULT_FROM_ERRNO(30), L"EROFS", L"Read-only file system."},
    {HRESULT_FROM_ERRNO(36), L"ENAMETOOLONG", L"File name too long."},
    // device
    FW_ERROR_ENTRY(D3DERR_WRONGTEXTUREFORMAT, L"Wrong texture format."),
    FW_ERROR_ENTRY(D3DERR_UNSUPPORTEDCOLOROPERATION, L"Unsupported color operation."),
    FW_ERROR_ENTRY(D3DERR_UNSUPPORTEDCOLORARG, L"Unsupported color argument."),
    FW_ERROR_ENTRY(D3DERR_UNSUPPORTEDALPHAOPERATION, L"Unsupported alpha operation."),
    FW_ERROR_ENTRY(D3DERR_UNSUPPORTEDALPHAARG, L"Unsupported alpha argument."),
    FW_ERROR_ENTRY(D3DERR_TOOMANYOPERATIONS, L"Too many operations."),
    FW_ERROR_ENTRY(D3DERR_CONFLICTINGTEXTUREFILTER, L"Conflicting texture filter."),
    FW_ERROR_ENTRY(D3DERR_UNSUPPORTEDFACTORVALUE, L"Unsupported factor value."),
    FW_ERROR_ENTRY(D3DERR_CONFLICTINGRENDERSTATE, L"Conflicting render state."),
    FW_ERROR_ENTRY(D3DERR_UNSUPPORTEDTEXTUREFILTER, L"Unsupported texture filter."),
    FW_ERROR_ENTRY(D3DERR_CONFLICTINGTEXTUREPALETTE, L"Conflicting texture palette."),
    FW_ERROR_ENTRY(D3DERR_DRIVERINTERNALERROR, L"Driver internal error."),
    FW_ERROR_ENTRY(D3DERR_NOTFOUND, L"Not found."),
    FW_ERROR_ENTRY(D3DERR_MOREDATA, L"More data."),
    FW_ERROR_ENTRY(D3DERR_DEVICELOST, L"Device lost."),
    FW_ERROR_ENTRY(D3DERR_DEVICENOTRESET, L"Device not reset."),
    FW_ERROR_ENTRY(D3DERR_NOTAVAILABLE, L"Not available."),
    FW_ERROR_ENTRY(D3DERR_OUTOFVIDEOMEMORY, L"Out of video memory."),
    FW_ERROR_ENTRY(D3DERR_INVALIDDEVICE, L"Invalid device."),
    FW_ERROR_ENTRY(D3DERR_INVALIDCALL, L"Invalid call."),
    FW_ERROR_ENTRY(D3DERR_WASSTILLDRAWING, L"Was still drawing."),
    FW_ERROR_ENTRY(D3DOK_NOAUTOGEN, L"The format does not support automatic mipmap generation."),
    // helper library
    FW_ERROR_ENTRY(D3DXERR_CANNOTMODIFYINDEXBUFFER, L"The index buffer cannot be modified."),
    FW_ERROR_ENTRY(D3DXERR_INVALIDMESH, L"The mesh is invalid."),
    FW_ERROR_ENTRY(D3DXERR_CANNOTATTRSORT, L"Attribute sort is not supported as an optimization technique."),
    FW_ERROR_ENTRY(D3DXERR_SKINNINGNOTSUPPORTED, L"Skinning is not supported."),
    FW_ERROR_ENTRY(D3DXERR_TOOMANYINFLUENCES, L"Too many influences specified."),
    FW_ERROR_ENTRY(D3DXERR_INVALIDDATA, L"The data is invalid."),
    FW_ERROR_ENTRY(D3DXERR_LOADEDMESHASNODATA, L"The mesh has no data."),
    FW_ERROR_ENTRY(D3DXERR_DUPLICATENAMEDFRAGMENT, L"A fragment with that name already exists."),
    FW_ERROR_ENTRY(D3DXERR_CANNOTREMOVELASTITEM, L"The last item cannot be deleted."),
    // framework
    FW_ERROR_ENTRY(FWERR_NODIRECT3D, L"Could not initialize Direct3D."),
    FW_ERROR_ENTRY(FWERR_NOCOMPATIBLEDEVICES, L"No compatible Direct3D devices found."),
    FW_ERROR_ENTRY(FWERR_MEDIANOTFOUND, L"Media file not found."),
    FW_ERROR_ENTRY(FWERR_NONZEROREFCOUNT, L"The device has a non-zero reference count."),
    FW_ERROR_ENTRY(FWERR_CREATINGDEVICE, L"Failed creating the Direct3D device."),
    FW_ERROR_ENTRY(FWERR_RESETTINGDEVICE, L"Failed resetting the Direct3D device."),
    FW_ERROR_ENTRY(FWERR_CREATINGDEVICEOBJECTS, L"Failed creating Direct3D device objects."),
    FW_ERROR_ENTRY(FWERR_RESETTINGDEVICEOBJECTS, L"Failed resetting Direct3D device objects."),
    FW_ERROR_ENTRY(FWERR_INCORRECTVERSION, L"Incorrect version of Direct3D and/or D3DX."),
    FW_ERROR_ENTRY(FWERR_DEVICEREMOVED, L"The device was removed."),
};

#undef FW_ERROR_ENTRY

const ErrorEntry* FindError(HRESULT hr) {
    for (const ErrorEntry& entry : kErrorTable)
        if (entry.hr == hr) return &entry;
    return nullptr;
}

}  // namespace

const wchar_t* DXGetErrorString(HRESULT hr) {
    const ErrorEntry* entry = FindError(hr);
    return entry != nullptr ? entry->name : L"Unknown";
}

const wchar_t* DXGetErrorDescription(HRESULT hr) {
    const ErrorEntry* entry = FindError(hr);
    return entry != nullptr ? entry->description : L"Unknown error.";
}

void FWDebugOutput(const wchar_t* text) {
    OutputDebugStringW(text);
    if (FWGetTestHooks().debugOutput != nullptr) FWGetTestHooks().debugOutput(text);
}

void FWOutputDebugString(const wchar_t* strFormat, ...) {
    wchar_t strBuffer[512];
    va_list args;
    va_start(args, strFormat);
    StringCchVPrintfW(strBuffer, 512, strFormat, args);
    va_end(args);
    strBuffer[511] = 0;
    FWDebugOutput(strBuffer);
}

HRESULT DXTrace(const char* strFile, DWORD dwLine, HRESULT hr, const wchar_t* strMsg, bool bPopMsgBox) {
    wchar_t strBufferLine[128];
    wchar_t strBufferError[256];
    wchar_t strBufferMsg[1024];
    wchar_t strBuffer[3000];

    StringCchPrintfW(strBufferLine, 128, L"%ld", static_cast<LONG>(dwLine));
    if (strFile != nullptr) {
        StringCchPrintfW(strBuffer, 3000, L"%S(%s): ", strFile, strBufferLine);
        FWDebugOutput(strBuffer);
    }

    bool bHasMsg = strMsg != nullptr && strMsg[0] != 0;
    if (bHasMsg) {
        StringCchCopyW(strBufferMsg, 1024, strMsg);
        FWDebugOutput(strBufferMsg);
        FWDebugOutput(L" ");
    }

    StringCchPrintfW(strBufferError, 256, L"%s (0x%0.8x)", DXGetErrorString(hr), static_cast<UINT>(hr));
    StringCchPrintfW(strBuffer, 3000, L"hr=%s", strBufferError);
    FWDebugOutput(strBuffer);
    FWDebugOutput(L"\n");

    if (bPopMsgBox) {
        wchar_t strCalling[1024 + 16];
        strCalling[0] = 0;
        if (bHasMsg) StringCchPrintfW(strCalling, 1024 + 16, L"Calling: %s\n", strBufferMsg);
        StringCchPrintfW(strBuffer, 3000, L"File: %S\nLine: %s\nError Code: %s\n%sDo you want to debug the application?",
                         strFile != nullptr ? strFile : "", strBufferLine, strBufferError, strCalling);
        int nResult = MessageBoxW(GetForegroundWindow(), strBuffer, L"Unexpected error encountered",
                                  MB_YESNO | MB_ICONERROR);
        if (nResult == IDYES) DebugBreak();
    }
    return hr;
}

HRESULT FWTrace(const char* strFile, DWORD dwLine, HRESULT hr, const wchar_t* strMsg, bool bPopMsgBox) {
    if (!GetFWState().GetShowMsgBoxOnError()) bPopMsgBox = false;
    return DXTrace(strFile, dwLine, hr, strMsg, bPopMsgBox);
}

HRESULT FWDisplayErrorMessage(HRESULT hr) {
    const wchar_t* strMessage = nullptr;
    int nExitCode = 1;

    switch (hr) {
        case FWERR_NODIRECT3D:
            nExitCode = 2;
            strMessage =
                L"Could not initialize Direct3D. You may want to check that the latest graphics drivers are "
                L"correctly installed on your system.  Also make sure that this program was compiled with header "
                L"files that match the installed graphics libraries.";
            break;
        case FWERR_INCORRECTVERSION:
            nExitCode = 10;
            strMessage = L"Incorrect version of Direct3D and/or D3DX.";
            break;
        case FWERR_MEDIANOTFOUND:
            nExitCode = 4;
            strMessage = L"Could not find required media. Ensure that the program's data folder is correctly installed.";
            break;
        case FWERR_NONZEROREFCOUNT:
            nExitCode = 5;
            strMessage =
                L"The D3D device has a non-zero reference count, meaning some objects were not released.";
            break;
        case FWERR_CREATINGDEVICE:
            nExitCode = 6;
            strMessage = L"Failed creating the Direct3D device.";
            break;
        case FWERR_RESETTINGDEVICE:
            nExitCode = 7;
            strMessage = L"Failed resetting the Direct3D device.";
            break;
        case FWERR_CREATINGDEVICEOBJECTS:
            nExitCode = 8;
            strMessage = L"Failed creating Direct3D device objects.";
            break;
        case FWERR_RESETTINGDEVICEOBJECTS:
            nExitCode = 9;
            strMessage = L"Failed resetting Direct3D device objects.";
            break;
        case FWERR_NOCOMPATIBLEDEVICES:
            nExitCode = 3;
            strMessage = IsRemoteSession() ? L"Direct3D does not work over a remote session."
                                           : L"Could not find any compatible Direct3D devices.";
            break;
        default:
            // FWERR_DEVICEREMOVED and every other code: generic failure, no box.
            nExitCode = 1;
            break;
    }

    FWState& s = GetFWState();
    s.SetExitCode(nExitCode);

    if (strMessage != nullptr && s.GetShowMsgBoxOnError()) {
        const wchar_t* strTitle = s.GetWindowTitle();
        if (strTitle == nullptr || strTitle[0] == 0) strTitle = L"3-D Application";
        MessageBoxW(FWGetHWND(), strMessage, strTitle, MB_ICONERROR | MB_OK);
    }
    return hr;
}
