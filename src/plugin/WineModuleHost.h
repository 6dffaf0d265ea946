// The Windows module host of one machine type (x86-64 or i386), run under
// Wine: one process (pelandor-module-host-win64.exe or -win32.exe) serves
// every Windows module of that type, loading several DLLs. It is started on
// first use and kept until the program ends, in a Wine prefix of the
// program's own, with that prefix's Wine server held for as long as the host
// is kept; both get the kill signal when this process dies, so neither
// outlives it. A host that crashes, exits or runs out of time is killed and
// started again for the next call; the modules it had loaded are loaded
// into the new one as they are used.
//
// The host talks over two pipes that Wine maps to its standard input and
// output (a Windows program cannot take Unix descriptors): frames of u32
// body length, u32 module number, body (ModuleHostMessages.h). The blocks
// of a picture are copied straight out of the host's memory (the host is
// our child, so we may read it) while the host waits for its next request.
// Where that is refused, they go through a memory file that the host opens
// by its /proc path and maps (PictureArea), or behind the answer on the
// pipe where the host cannot open that: under Wine every filled pipe buffer
// costs the host a round trip to its server, and a copy through the kernel
// costs more than one between mappings. Plain C++ with no Qt.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "plugin/ModuleHostProtocol.h"
#include "plugin/PictureArea.h"

namespace pelandor {

class WineModuleHost {
public:
    enum class Machine { Native, Win64, Win32, OtherWindows };

    // What a module file is: a PE image (it starts with "MZ" and its PE
    // header names the machine) or anything else, served natively.
    static Machine machineOf(const std::string &path);

    // Where the host's pieces are.
    struct Setup {
        std::string loader;   // Wine's loader for the machine type (wine64, wine)
        std::string server;   // the wineserver that goes with it
        std::string hostExe;  // pelandor-module-host-win64.exe or -win32.exe
        std::string prefix;   // the Wine prefix ($XDG_DATA_HOME/pelandor/wine)
        std::string aliasDir; // where the private folder for path aliases is made
        // How pictures cross: straight out of the host's memory (falling
        // back to the others where that is refused), through the shared
        // area (falling back to the pipe), or the pipe alone. Only tests
        // choose anything but the first.
        enum class Transport { Direct, Shared, Pipe } transport = Transport::Direct;
        bool operator<(const Setup &other) const;
    };

    // The host of `setup`, shared by every module of its machine type; it is
    // made on first use and kept by the program until endAll(). While it is
    // busy (a call waits for it and the caller's wait hook runs another
    // command), another host is given, which ends with its last module.
    static std::shared_ptr<WineModuleHost> instance(const Setup &setup);
    // Lets go of every kept host: each ends, with its Wine server and the
    // prefix's other processes, once no module uses it any more. Called
    // when the program ends.
    static void endAll();

    explicit WineModuleHost(Setup setup);
    ~WineModuleHost();
    WineModuleHost(const WineModuleHost &) = delete;
    WineModuleHost &operator=(const WineModuleHost &) = delete;

    // Registers the module at `path` and loads it into the host (starting
    // the host first when none runs); 0 when it cannot be loaded.
    uint32_t addModule(const std::string &path, int64_t deadline, const modulehost::WaitHook &whileWaiting);
    // Unloads the module and forgets it.
    void removeModule(uint32_t module);

    // Sends `request` for `module` and receives its answer, starting the host
    // and loading the module first where needed (the time a new prefix takes
    // is added to `deadline`). False on any failure, after which the host
    // has been killed (the next call starts another).
    bool call(uint32_t module, const std::string &request, std::string &answer, int64_t &deadline,
              const modulehost::WaitHook &whileWaiting);
    // Sends `request`, which has no answer, for `module` to the running host.
    void post(uint32_t module, const std::string &request);
    // Reads the next `size` bytes behind a GetPicture answer (a block).
    bool readBlock(void *out, size_t size, int64_t deadline, const modulehost::WaitHook &whileWaiting);
    // Copies `size` bytes at `address` of the host's memory, where an answer
    // flagged InHost left a block; false when this process may not read
    // there (the host is then asked to send the blocks with CopyPicture).
    bool readHostMemory(void *out, uint64_t address, size_t size);
    // Copies `size` bytes at `offset` of the area shared with the host,
    // where an answer flagged InShared left its blocks; false (and the host
    // killed) when the area does not hold them.
    bool readShared(void *out, uint64_t size, uint64_t offset);
    // Kills the host after a call went wrong half-way.
    void fail() { stopHost(true); }

    // The path as the host should be given it: unchanged when the Windows
    // code page can spell it, otherwise a link with a plain name in a
    // private folder (one per `slot`, replaced when the slot's path changes).
    std::string spell(const std::string &path, const std::string &slot);
    // Whether a Windows program is handed `path` as it stands.
    static bool windowsCanSpell(const std::string &path);

    // Whether a prefix must still be made (the first start is slow then).
    bool prefixIsNew() const;
    pid_t hostPid() const { return m_hostPid; }
    // Whether an exchange with the host (or its start) is under way.
    bool busy() const { return m_depth > 0; }

private:
    bool startHost(int64_t deadline, const modulehost::WaitHook &whileWaiting);
    void stopHost(bool kill);
    // The private folder, made on first use; empty when it cannot be made.
    const std::string &privateFolder();
    void holdServer();
    void endServer();
    bool exchange(uint32_t module, const std::string &request, std::string &answer, int64_t deadline,
                  const modulehost::WaitHook &whileWaiting);
    bool sendFrame(uint32_t module, const std::string &request, int64_t deadline,
                   const modulehost::WaitHook &whileWaiting);
    bool ensureLoaded(uint32_t module, int64_t &deadline, const modulehost::WaitHook &whileWaiting);

    Setup m_setup;
    pid_t m_hostPid = -1;
    int m_depth = 0; // exchanges under way (at most one; more is refused)
    pid_t m_serverPid = -1; // the Wine server this object started, if any
    int m_toHost = -1;
    int m_fromHost = -1;
    PictureArea m_area; // shared with the running host
    uint32_t m_nextModule = 1;
    std::map<uint32_t, std::string> m_modules; // registered modules and their paths
    std::set<uint32_t> m_loaded;               // those loaded into the running host
    std::string m_privateFolder;
    std::map<std::string, std::pair<std::string, std::string>> m_aliases; // slot -> (path, link)
    unsigned m_nameCount = 0;
};

} // namespace pelandor
