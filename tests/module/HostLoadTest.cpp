// A host as hosts are built: it loads libwardlet.so by path, looks the functions up by name,
// uses them with its own framework objects, and unloads the library again.
#include <dlfcn.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "support/HostChecks.h"
#include "wardlet/wardlet.h"

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    char folder[] = "/tmp/wardlet-host-XXXXXX";
    if (mkdtemp(folder) == nullptr) return 2;
    setenv("XDG_RUNTIME_DIR", folder, 1);
    const std::string dataPath = std::string(folder) + "/rights.dat";

    void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    Check(library != nullptr, "dlopen libwardlet.so");
    if (library == nullptr) return 1;
    Find<decltype(&SetDataSource)>(library, "SetDataSource")(dataPath.c_str());
    Check(std::string(Find<decltype(&GetDataSource)>(library, "GetDataSource")()) == dataPath,
          "GetDataSource gives the path back");
    auto islegal = Find<decltype(&Islegal)>(library, "Islegal");
    Check(islegal("Admin", "4827", 0x01010201) == 1, "the default administrator passes");
    auto modify = Find<decltype(&ModifyPWD)>(library, "ModifyPWD");
    Check(modify("Admin", "4827", "n3w") == 1, "ModifyPWD saves");
    Check(islegal("Admin", "n3w", 0x01010201) == 1, "the new password holds");

    // The store handed out is read through the public fields.
    CObList list;
    Check(Find<decltype(&GetConfigData)>(library, "GetConfigData")(&list) == 1, "GetConfigData");
    auto* store = static_cast<CSaveProp*>(list.GetHead());
    Check(std::string(store->GetRuntimeClass()->m_lpszClassName) == "CSaveProp", "a CSaveProp");
    Check(store->m_strAdminPassword == "n3w" && store->m_dataManager.m_operList.GetCount() >= 32,
          "the store's fields");

    // A received store built by the host from bytes: here, the transfer form of a default store.
    CMemFile received;
    {
        CArchive ar(&received, CArchive::store);
        ar << uint16_t{1} << uint16_t{0xFFFF} << uint16_t{1} << uint16_t{9};
        ar.Write("CSaveProp", 9);
        ar << CString("\x2A\x0F\x06\x02\x05") << CString("\x5F\x53\x59\x5C");  // Admin / 4827
        for (int32_t field : {1, 1, 1}) ar << field;
        for (int list = 0; list < 4; ++list) ar << uint16_t{0};
        ar << int32_t{1} << int32_t{3};
        ar.Close();
    }
    received.SeekToBegin();
    CArchive loading(&received, CArchive::load);
    Find<decltype(&ReceiveObjListFromArchive)>(library, "ReceiveObjListFromArchive")(loading);
    Check(islegal("Admin", "4827", 0x01010201) == 1, "the received store replaced the file");

    Check(dlsym(library, "CheckUserRight") == nullptr, "nothing but the interface is exported");
    Check(dlclose(library) == 0, "dlclose");
    std::filesystem::remove_all(folder);
    std::printf("%d failed\n", g_failures);
    return g_failures == 0 ? 0 : 1;
}
