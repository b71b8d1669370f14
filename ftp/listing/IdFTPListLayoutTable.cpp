// The table of known listing layouts. Detection asks them in this order, so the order
// is data: row N is the layout registered at position N of the registry.

#include <memory>
#include <mutex>

#include "ftp/listing/IdFTPListParsers.h"

namespace {

template <typename Layout>
std::unique_ptr<TIdFTPListBase> make() {
    return std::make_unique<Layout>();
}

struct LayoutRow {
    int position;
    std::unique_ptr<TIdFTPListBase> (*create)();
};

constexpr LayoutRow kLayoutTable[] = {
    {1, make<TIdFTPLPNList>},
    {2, make<TIdFTPLPMList>},
    {3, make<TIdFTPLPXecomMicroRTOS>},
    {4, make<TIdFTPLPWindowsNT>},
    {5, make<TIdFTPLPWinQVNet>},
    {6, make<TIdFTPLPWfFTP>},
    {7, make<TIdFTPLPVxWorks>},
    {8, make<TIdFTPLPVSELibrary>},
    {9, make<TIdFTPLPVSEPowerQueue>},
    {10, make<TIdFTPLPVSERootDir>},
    {11, make<TIdFTPLPVSESubLibrary>},
    {12, make<TIdFTPLPVSEVSAMCatalog>},
    {13, make<TIdFTPLPVSEVTOC>},
    {14, make<TIdFTPLPVMS>},
    {15, make<TIdFTPLVirtualReader>},
    {16, make<TIdFTPLPVMBFS>},
    {17, make<TIdFTPLPVMCMS>},
    {18, make<TIdFTPLPUnix>},
    {19, make<TIdFTPLPUnitree>},
    {20, make<TIdFTPLPTandemGuardian>},
    {21, make<TIdFTPLPTSXPlus>},
    {22, make<TIdFTPLPTOPS20>},
    {23, make<TIdFTPLPSuperTCP>},
    {24, make<TIdFTPLPStratusVOS>},
    {25, make<TIdFTPLPSterCommEntUx>},
    {26, make<TIdFTPLPSterCommEntUxNS>},
    {27, make<TIdFTPLPSterCommEntUxRoot>},
    {28, make<TIdFTPLPSterCommExpOS390>},
    {29, make<TIdFTPLPPCNFSD>},
    {30, make<TIdFTPLPOS2>},
    {31, make<TIdFTPLPNetwarePSUDos>},
    {32, make<TIdFTPLPNetwarePSUNFS>},
    {33, make<TIdFTPLPNovellNetware>},
    {34, make<TIdFTPLPNCSAforMACOS>},
    {35, make<TIdFTPLPNCSAforDOS>},
    {36, make<TIdFTPLPMusic>},
    {37, make<TIdFTPLPMicrowareOS9>},
    {38, make<TIdFTPLPMVS>},
    {39, make<TIdFTPLPMVSPartitionedDataSet>},
    {40, make<TIdFTPLPMVSJESInterface1>},
    {41, make<TIdFTPLPMVSJESInterface2>},
    {42, make<TIdFTPLPMPiX>},
    {43, make<TIdFTPLPMPiXWithPOSIX>},
    {44, make<TIdFTPLPKA9Q>},
    {45, make<TIdFTPLPHellSoft>},
    {46, make<TIdFTPLPEPLF>},
    {47, make<TIdFTPLPDistinctTCPIP>},
    {48, make<TIdFTPLPCiscoIOS>},
    {49, make<TIdFTPLPChameleonNewt>},
    {50, make<TIdFTPLPGOS8>},
    {51, make<TIdFTPLPGOS7>},
    {52, make<TIdFTPLPAS400>},
};

}  // namespace

namespace harbrook {

void registerBuiltInListParsers(TIdFTPListParserRegistry& registry) {
    for (const LayoutRow& row : kLayoutTable) {
        registry.RegisterParser(row.position, row.create());
    }
}

}  // namespace harbrook

TIdFTPListParserRegistry& DefaultListParsers() {
    static TIdFTPListParserRegistry registry;
    static std::once_flag once;
    std::call_once(once, [] { harbrook::registerBuiltInListParsers(registry); });
    return registry;
}
