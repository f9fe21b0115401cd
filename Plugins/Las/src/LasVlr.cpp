#include <FileIoInterface/Las/LasVlr.h>

namespace Orvid::FileIoInterface::Las {

namespace {

constexpr const char* SPEC_USER_ID = "LASF_Spec";
constexpr std::uint16_t EXTRA_BYTES_RECORD_ID = 4;
constexpr std::uint16_t WAVEFORM_DATA_RECORD_ID = 65535;

} // namespace

bool isExtraBytesRecord(const LasVlr& vlr) {
    return vlr.userId == SPEC_USER_ID && vlr.recordId == EXTRA_BYTES_RECORD_ID;
}

bool isWaveformDataRecord(const LasVlr& vlr) {
    return vlr.userId == SPEC_USER_ID && vlr.recordId == WAVEFORM_DATA_RECORD_ID;
}

} // namespace Orvid::FileIoInterface::Las
