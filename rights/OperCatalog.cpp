#include "rights/OperCatalog.h"

#include "resources/Cp936Text.h"

namespace {

struct Utf8Entry {
    uint32_t code;
    const char* name;
    const char* desc;
};

// Names and descriptions exactly as operators and stored links know them. The codes are fixed
// values: never renumber them.
constexpr Utf8Entry kCatalog[] = {
    {0x01000000, "所有", "有进行所有操作的权限"},                     // all
    {0x01010000, "设备", "有和设备有关的所有权限"},                   // devices
    {0x01010100, "展开树", "有在任意时刻有将设备树展开/闭合的权限"},  // expand tree
    {0x01010200, "更改", "具备其所有子项的权限"},                     // modify
    {0x01010201, "添加端口、设备，添加删除采集点",
     "有对设备及其以下级做添加操作的权限"},  // add ports and devices, add and delete acquisition
                                             // points
    {0x01010202, "删除端口，设备",
     "有对设备及其以下级做删除操作的权限"},                              // delete ports and devices
    {0x01010203, "属性修改", "有对设备及其以下级做属性修改的权限"},      // modify properties
    {0x01010300, "操作", "具备其所有子项的权限"},                        // operate
    {0x01010301, "设备设置", "有对设备进行设置的权限"},                  // device settings
    {0x01010302, "测点设置", "有对测点进行设置的权限"},                  // measuring-point settings
    {0x01020000, "策略", "有和策略有关的所有权限"},                      // strategies
    {0x01020200, "更改", "具备其所有子项的权限"},                        // modify
    {0x01020201, "策略文件", "有在组态时对策略进行所有操作的权限"},      // strategy files
    {0x01020202, "在线修改", "有在运行时对策略进行修改操作的权限"},      // online modification
    {0x01020203, "策略事件列表", "查看策略事件列表"},                    // strategy event list
    {0x01030000, "页面", "有和页面有关的所有权限"},                      // pages
    {0x01030100, "更改", "具备其所有子项的权限"},                        // modify
    {0x01030101, "页面文件", "有在组态时对页面进行所有操作的权限"},      // page files
    {0x01030102, "在线修改", "有在运行时对页面进行修改操作的权限"},      // online modification
    {0x01030200, "巡视", "有进行巡视，及巡视设置的权限"},                // patrol
    {0x01040000, "系统", "有和系统有关的所有权限"},                      // system
    {0x01040100, "启停", "有进行运行状态和停止运行状态的权限"},          // start and stop
    {0x01040200, "事件", "有和事件有关的所有权限"},                      // events
    {0x01040201, "确认", "有对事件进行确认操作的权限"},                  // acknowledge
    {0x01040202, "历史事件查询", "有对历史事件信息进去查询操作的权限"},  // historical event query
    {0x01040400, "打印", "有和打印有关的所有权限"},                      // printing
    {0x01040401, "页面", "有打印页面操作的权限"},                        // pages
    {0x01040402, "策略", "有打印策略操作的权限"},                        // strategies
    {0x01050000, "配置", "有对系统的配置进行操作的权限"},                // configuration
    {0x01050100, "IE配置", "有对IE进行配置操作的权限"},                  // browser configuration
    {0x01050200, "安全时段", "有对安全时段进行管理操作的权限"},          // safety periods
    {0x01050300, "系统参数", "有进行所有操作的权限"},                    // system parameters
    {0x01070000, "登陆IE", "有浏览IE的权限"},                            // browser login
};

std::array<OperCatalogEntry, 34> BuildCatalog() {
    static_assert(std::size(kCatalog) == 33);
    std::array<OperCatalogEntry, 34> catalog;
    for (size_t i = 0; i < std::size(kCatalog); ++i) {
        catalog[i] = {kCatalog[i].code, Cp936Text(kCatalog[i].name), Cp936Text(kCatalog[i].desc)};
    }
    catalog[33] = {0, CString(), CString()};
    return catalog;
}

}  // namespace

const std::array<OperCatalogEntry, 34> g_operCatalog = BuildCatalog();

const CString& BrowserLoginRightName() {
    static const CString name = Cp936Text("登陆IE");
    return name;
}

bool IsOffered(const OperCatalogEntry& entry, bool browserLibraryPresent) {
    return !(browserLibraryPresent && entry.name == BrowserLoginRightName());
}

bool IsOfferedCode(uint32_t code, bool browserLibraryPresent) {
    for (const OperCatalogEntry& entry : g_operCatalog) {
        if (entry.code == 0) break;
        if (entry.code == code) return IsOffered(entry, browserLibraryPresent);
    }
    return false;
}
