// pelandor-module-host-win64.exe and pelandor-module-host-win32.exe: the
// Windows module host. Runs under Wine, started by the plug-in host
// (WineModuleHost) with two pipes as its standard input and output; loads
// any number of Windows import modules (PE DLLs named *.spi) and serves
// their four calls with the messages of ModuleHostMessages.h.
//
// Each message travels as a frame: u32 body length, u32 module number, body.
// The module number says which loaded module a request is for; the answer
// repeats it. The blocks of a picture go into the area the program names as
// the one argument (info block first, then the bits block), or, without
// one, follow the GetPicture answer on the pipe. Paths arrive as Unix paths and are turned
// into Windows paths here (Wine's Z: drive); the program only sends paths
// that the Windows code page can spell.
//
// Module output must not reach the protocol: the standard handles are taken
// for the protocol first thing, and every standard handle and C runtime
// stream is pointed at NUL before any module is loaded.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "plugin/ModuleHostMessages.h"

using namespace pelandor::modulehost;

namespace {

// The module interface as Windows modules export it: __stdcall on x86
// (WINAPI; the only convention on x64). Integers the interface gives as
// 32 bits but that 64-bit modules commonly declare pointer-sized (the file
// handle of IsSupported, the offset, the callback data) are passed
// pointer-sized, zero- or sign-extended, which serves both declarations.
using GetPluginInfoFn = int32_t(WINAPI *)(int32_t, char *, int32_t);
using IsSupportedFn = int32_t(WINAPI *)(const char *, uintptr_t);
using GetPictureInfoFn = int32_t(WINAPI *)(const char *, intptr_t, uint32_t, void *);
using GetPictureFn = int32_t(WINAPI *)(const char *, intptr_t, uint32_t, HLOCAL *, HLOCAL *, void *, intptr_t);

// Room for the picture record: 26 bytes for Win32 modules, 30 for Win64
// ones (its last field is a handle), with slack for a module that writes
// more.
constexpr size_t RecordRoom = 256;

// An export of `module` as a function of type Fn, or nullptr. The detour
// through a function type without arguments is the one conversion between
// function types that the compiler takes as meant.
template<typename Fn>
Fn procedure(HMODULE module, const char *name)
{
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

struct Module {
    HMODULE handle = nullptr;
    GetPluginInfoFn getPluginInfo = nullptr;
    IsSupportedFn isSupported = nullptr;
    GetPictureInfoFn getPictureInfo = nullptr;
    GetPictureFn getPicture = nullptr;
};

HANDLE g_in = INVALID_HANDLE_VALUE;
HANDLE g_out = INVALID_HANDLE_VALUE;
// The area shared with the program for pictures (a memory file it opened
// and named by its /proc path), when it gave one.
HANDLE g_area = INVALID_HANDLE_VALUE;

[[noreturn]] void quit()
{
    // No DLL detach code of the modules: it may be what hangs or crashes.
    TerminateProcess(GetCurrentProcess(), 0);
    for (;;) {
    }
}

LONG WINAPI endOnCrash(EXCEPTION_POINTERS *)
{
    quit();
}

bool readAll(void *out, size_t size)
{
    auto *at = static_cast<char *>(out);
    while (size > 0) {
        const DWORD chunk = size > 0x40000000u ? 0x40000000u : DWORD(size);
        DWORD done = 0;
        if (!ReadFile(g_in, at, chunk, &done, nullptr) || done == 0)
            return false;
        at += done;
        size -= done;
    }
    return true;
}

bool writeAll(const void *data, size_t size)
{
    const auto *at = static_cast<const char *>(data);
    while (size > 0) {
        const DWORD chunk = size > 0x40000000u ? 0x40000000u : DWORD(size);
        DWORD done = 0;
        if (!WriteFile(g_out, at, chunk, &done, nullptr) || done == 0)
            return false;
        at += done;
        size -= done;
    }
    return true;
}

void send(uint32_t module, const std::string &body)
{
    const uint32_t header[2] = {uint32_t(body.size()), module};
    if (!writeAll(header, sizeof header) || !writeAll(body.data(), body.size()))
        quit();
}

bool receive(uint32_t &module, std::string &body)
{
    uint32_t header[2] = {};
    if (!readAll(header, sizeof header) || header[0] < 1 || header[0] > MaxMessage)
        return false;
    module = header[1];
    body.resize(header[0]);
    return readAll(body.data(), body.size());
}

// The Windows form of a Unix path: Wine's own conversion when it offers it,
// else the Z: drive, which maps the Unix root.
std::wstring windowsPath(const std::string &unixPath)
{
    using ToDos = WCHAR *(CDECL *)(const char *);
    static const auto toDos = procedure<ToDos>(GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name");
    if (toDos) {
        if (WCHAR *dos = toDos(unixPath.c_str())) {
            std::wstring path(dos);
            HeapFree(GetProcessHeap(), 0, dos);
            return path;
        }
    }
    std::wstring path = L"Z:";
    for (const char c : unixPath)
        path.push_back(c == '/' ? L'\\' : wchar_t(static_cast<unsigned char>(c)));
    return path;
}

// The path as the module's 8-bit calls take it, in the Windows code page.
std::string ansiPath(const std::wstring &path)
{
    const int size = WideCharToMultiByte(CP_ACP, 0, path.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return std::string();
    std::string ansi(size_t(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, path.c_str(), -1, ansi.data(), size, nullptr, nullptr);
    ansi.resize(size_t(size) - 1);
    return ansi;
}

std::string modulePath(const std::string &unixPath)
{
    return ansiPath(windowsPath(unixPath));
}

int32_t load(std::map<uint32_t, Module> &modules, uint32_t number, Reader &in)
{
    LoadRequest request;
    if (!request.decode(in))
        quit();
    if (modules.count(number))
        return 0;
    const std::wstring path = windowsPath(request.path);
    // Libraries the module needs are looked for beside it first.
    HMODULE handle = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!handle)
        return 0;
    Module module;
    module.handle = handle;
    module.getPluginInfo = procedure<GetPluginInfoFn>(handle, "GetPluginInfo");
    module.isSupported = procedure<IsSupportedFn>(handle, "IsSupported");
    module.getPictureInfo = procedure<GetPictureInfoFn>(handle, "GetPictureInfo");
    module.getPicture = procedure<GetPictureFn>(handle, "GetPicture");
    modules[number] = module;
    return 1;
}

std::string servePluginInfo(const Module &module, Reader &in)
{
    PluginInfoRequest request;
    if (!request.decode(in))
        quit();
    return answerPluginInfo(request, [&module](int32_t infoNo, char *buffer, int32_t length) {
               return module.getPluginInfo ? module.getPluginInfo(infoNo, buffer, length) : -1;
           })
        .encode();
}

std::string serveIsSupported(const Module &module, Reader &in)
{
    FileRequest request;
    if (!request.decode(in))
        quit();
    ResultAnswer answer;
    if (module.isSupported) {
        const std::wstring path = windowsPath(request.path);
        HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            LARGE_INTEGER position;
            position.QuadPart = request.position;
            if (SetFilePointerEx(file, position, nullptr, FILE_BEGIN))
                answer.result = module.isSupported(ansiPath(path).c_str(), uintptr_t(file));
            CloseHandle(file);
        }
    }
    return answer.encode(Op::IsSupported);
}

std::string servePictureInfo(const Module &module, Reader &in)
{
    PictureInfoRequest request;
    if (!request.decode(in))
        quit();
    PictureInfoAnswer answer;
    answer.result = -1;
    if (module.getPictureInfo) {
        alignas(8) unsigned char record[RecordRoom] = {};
        answer.result = module.getPictureInfo(modulePath(request.path).c_str(), request.offset, request.flag, record);
        // The fields before the text handle are laid out alike in both forms;
        // the handle is the module's and is released here.
        std::memcpy(&answer.info, record, offsetof(PictureInfo, infoText));
        HLOCAL text = nullptr;
        std::memcpy(&text, record + offsetof(PictureInfo, infoText), sizeof text);
        if (text)
            LocalFree(text);
    }
    return answer.encode();
}

// Copies a block into the shared area. The C runtime's memcpy under Wine
// is far slower than the processor's string copy, which every x86 since
// 2013 runs at full memory speed for large blocks.
void copyLarge(void *to, const void *from, size_t size)
{
    asm volatile("rep movsb" : "+D"(to), "+S"(from), "+c"(size) : : "memory");
}

// The view of the area shared with the program.
char *g_view = nullptr;
uint64_t g_viewSize = 0;

// Makes the shared area hold at least `total` bytes and maps all of it. It
// only ever grows (the program reads what it has mapped at any time).
bool reserveArea(uint64_t total)
{
    if (total <= g_viewSize)
        return true;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(g_area, &size))
        return false;
    if (uint64_t(size.QuadPart) < total) {
        constexpr uint64_t Granule = 1 << 16;
        const uint64_t grown = (std::max(total, uint64_t(size.QuadPart) * 2) + Granule - 1) / Granule * Granule;
        size.QuadPart = LONGLONG(grown);
        if (!SetFilePointerEx(g_area, size, nullptr, FILE_BEGIN) || !SetEndOfFile(g_area))
            return false;
    }
    if (g_view)
        UnmapViewOfFile(g_view);
    g_view = nullptr;
    g_viewSize = 0;
    const HANDLE mapping = CreateFileMappingW(g_area, nullptr, PAGE_READWRITE, 0, 0, nullptr);
    if (!mapping)
        return false;
    g_view = static_cast<char *>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0));
    CloseHandle(mapping);
    if (!g_view)
        return false;
    g_viewSize = uint64_t(size.QuadPart);
    return true;
}

// A block the module handed back: locked while its bytes are sent.
struct LockedBlock {
    HLOCAL handle = nullptr;
    const void *data = nullptr;
    size_t size = 0;
};

bool lockBlock(HLOCAL handle, LockedBlock &block)
{
    block.handle = handle;
    block.data = LocalLock(handle);
    block.size = block.data ? LocalSize(handle) : 0;
    if (block.data && block.size <= MaxBlock)
        return true;
    if (block.data)
        LocalUnlock(handle);
    block.data = nullptr;
    block.size = 0;
    return false;
}

// The last picture's blocks, kept locked in this process until the next
// request, while the program reads them here.
struct PendingPicture {
    PictureAnswer answer;
    HLOCAL info = nullptr;
    HLOCAL bits = nullptr;
    LockedBlock infoBlock;
    LockedBlock bitsBlock;
};
PendingPicture g_pending;
// Set once the program could not read this process's memory.
bool g_sendBlocks = false;

void releasePending()
{
    PendingPicture &p = g_pending;
    if (p.infoBlock.data)
        LocalUnlock(p.info);
    if (p.bitsBlock.data)
        LocalUnlock(p.bits);
    if (p.info)
        LocalFree(p.info);
    if (p.bits && p.bits != p.info)
        LocalFree(p.bits);
    p = PendingPicture();
}

// Sends the pending picture's answer (as the answer to `op`) with its
// blocks in the shared area, or behind the answer on the pipe where the
// area cannot take them. The shared area is much cheaper under Wine.
void sendPending(uint32_t number, Op op)
{
    PendingPicture &p = g_pending;
    PictureAnswer answer = p.answer;
    answer.stored &= uint8_t(~InHost);
    answer.infoAddress = 0;
    answer.bitsAddress = 0;
    if (g_area != INVALID_HANDLE_VALUE && (p.infoBlock.size || p.bitsBlock.size)
        && reserveArea(p.infoBlock.size + p.bitsBlock.size)) {
        copyLarge(g_view, p.infoBlock.data, p.infoBlock.size);
        copyLarge(g_view + p.infoBlock.size, p.bitsBlock.data, p.bitsBlock.size);
        answer.stored |= InShared;
        send(number, answer.encode(op));
    } else {
        send(number, answer.encode(op));
        if (!writeAll(p.infoBlock.data, p.infoBlock.size) || !writeAll(p.bitsBlock.data, p.bitsBlock.size))
            quit();
    }
    releasePending();
}

void servePicture(const Module &module, uint32_t number, Reader &in)
{
    PictureRequest request;
    if (!request.decode(in))
        quit();
    PendingPicture &p = g_pending;
    p.answer.result = -1;
    if (module.getPicture) {
        // A progress callback cannot cross processes; the program never passes one.
        p.answer.result = module.getPicture(modulePath(request.path).c_str(), request.offset, request.flag, &p.info,
                                            &p.bits, nullptr, request.callbackData);
    }
    if (p.info && lockBlock(p.info, p.infoBlock))
        p.answer.stored |= InfoStored;
    if (p.bits && p.bits == p.info) {
        p.answer.stored |= (p.answer.stored & InfoStored) ? SameBlock : 0;
    } else if (p.bits && lockBlock(p.bits, p.bitsBlock)) {
        p.answer.stored |= BitsStored;
    }
    p.answer.infoSize = p.infoBlock.size;
    p.answer.bitsSize = p.bitsBlock.size;
    if (g_sendBlocks || !(p.answer.stored & (InfoStored | BitsStored))) {
        sendPending(number, Op::GetPicture);
        return;
    }
    // The program copies the blocks straight out of this process (one copy
    // instead of two) and asks for them with CopyPicture where it may not.
    PictureAnswer answer = p.answer;
    answer.stored |= InHost;
    answer.infoAddress = uint64_t(reinterpret_cast<uintptr_t>(p.infoBlock.data));
    answer.bitsAddress = uint64_t(reinterpret_cast<uintptr_t>(p.bitsBlock.data));
    send(number, answer.encode());
}

void takeStandardHandles()
{
    // Private, non-inheritable copies for the protocol; the originals are
    // closed when the C runtime's streams are reopened below.
    const HANDLE self = GetCurrentProcess();
    if (!DuplicateHandle(self, GetStdHandle(STD_INPUT_HANDLE), self, &g_in, 0, FALSE, DUPLICATE_SAME_ACCESS)
        || !DuplicateHandle(self, GetStdHandle(STD_OUTPUT_HANDLE), self, &g_out, 0, FALSE, DUPLICATE_SAME_ACCESS))
        quit();
    std::freopen("NUL", "rb", stdin);
    std::freopen("NUL", "wb", stdout);
    std::freopen("NUL", "wb", stderr);
    const HANDLE nul = CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
    SetStdHandle(STD_INPUT_HANDLE, nul);
    SetStdHandle(STD_OUTPUT_HANDLE, nul);
    SetStdHandle(STD_ERROR_HANDLE, nul);
}

} // namespace

int main(int argc, char **argv)
{
    takeStandardHandles();
    if (argc > 1) {
        g_area = CreateFileW(windowsPath(argv[1]).c_str(), GENERIC_READ | GENERIC_WRITE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
    }
    // No dialog for a crash or a missing file: a crashing module ends this
    // host at once, and the program starts another.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    SetUnhandledExceptionFilter(endOnCrash);

    Writer ready(Op::Ready);
    ready.put(int32_t(1));
    send(0, ready.body());

    std::map<uint32_t, Module> modules;
    std::string body;
    uint32_t number = 0;
    while (receive(number, body)) {
        Reader in(body);
        Op op{};
        if (!in.op(op))
            quit();
        if (op == Op::CopyPicture) {
            g_sendBlocks = true;
            sendPending(number, op);
            continue;
        }
        // Freeing a large block costs a while; the program says when it has
        // read them, and goes on with the picture meanwhile.
        releasePending();
        if (op == Op::ReleasePicture)
            continue;
        if (op == Op::LoadModule) {
            send(number, ResultAnswer{load(modules, number, in)}.encode(op));
            continue;
        }
        const auto found = modules.find(number);
        if (found == modules.end())
            quit();
        const Module &module = found->second;
        switch (op) {
        case Op::UnloadModule:
            FreeLibrary(module.handle);
            modules.erase(found);
            send(number, ResultAnswer{1}.encode(op));
            break;
        case Op::GetPluginInfo:
            send(number, servePluginInfo(module, in));
            break;
        case Op::IsSupported:
            send(number, serveIsSupported(module, in));
            break;
        case Op::GetPictureInfo:
            send(number, servePictureInfo(module, in));
            break;
        case Op::GetPicture:
            servePicture(module, number, in);
            break;
        default:
            quit();
        }
    }
    quit();
}
