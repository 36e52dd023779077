/*
** The catalogue of the exporter data set: every single item with its
** creation parameters, and the four families of repeated items.  Rows are
** compared by hand with the catalogue, so keep one item per row and the
** columns in the order of catalogueRow.
*/
#include "dataset/itemCatalogue.h"

#include <cstdio>

#include "dataset/choiceLists.h"

namespace {

constexpr int32_t INT = dtINT, FLT = dtFLOAT, BOOL = dtBOOL, IP = dtIP_ADDR, MAC = dtMAC_ADDR,
                  TIME = dtKVTIME, TEXT = dtSTRING;
constexpr int32_t N = fileNOSAVE, P = filePRIMARY;
constexpr float NO_LIMIT = 2147483648.0f;  /* applied as 2147483647 */

const char* const UPDATE_CHARS = "abcdefghijklmnopqrstuvwxyz0123456789._ ";
const char* const CAPITALS = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
const char* const CAPITALS_BLANK = "ABCDEFGHIJKLMNOPQRSTUVWXYZ ";
const char* const LONGITUDE_CHARS = "WE0123456789.";
const char* const LATITUDE_CHARS = "NS0123456789.";

}  // namespace

// clang-format off
const catalogueRow itemCatalogue[] = {
/* index name                       type  file grp dflt   dfltText  min  max  list  units  validChars  description  help */
{0, "USER_IF_VERSION", INT, N, 1, 0, nullptr, 0, 1000000000, nullptr, nullptr, nullptr,
    "User Interface SW Version", nullptr},
{1, "UPDATE_HOST_IP", IP, P, 1, 0, "0.0.0.0", 0, 0, nullptr, nullptr, nullptr,
    "Update Host IP address", nullptr},
{2, "UPDATE_FILE", TEXT, P, 1, 0, "update.tgz", 0, 60, nullptr, nullptr, UPDATE_CHARS,
    "UpdateFile", "Update File"},
{3, "Volume_Adjust", INT, P, 1, 0, nullptr, -8, 7, nullptr, "dB", nullptr,
    "eexCmnData.volumeAdjust",
    "Adjusts the HD1 volume over the air on the receiver output (-8dB to +7dB).\n"},
{4, "Blend_Control", INT, P, 1, 2, nullptr, 1, 3, lstBlendCtrl, nullptr, nullptr,
    "eexCmnData.blendControl",
    "Blend ctrl help.  This is just a bunch of extra text to test the functionality of the multiline help system of the LCD display"},
{5, "Excter_Prtcl", INT, P, 1, 0, nullptr, 0, 2, lstExciterProtocol, nullptr, nullptr,
    "Exciter/Exgine Protocol (0=TCP, 1=UDP)", "Can be TCP or UDP"},
{6, "Exctr_IP_Addr", IP, P, 1, 0, "10.10.10.100", 0, 0, nullptr, nullptr, nullptr,
    "Exciter IP address", nullptr},
{7, "EXCITER_PORT", INT, P, 1, 9000, nullptr, 0, 65535, nullptr, nullptr, nullptr,
    "Port number for E2X traffic", nullptr},
{8, "Exctr_MAC_Addr", MAC, P, 1, 0, "00:00:00:00:00:00", 0, 0, nullptr, nullptr, nullptr,
    "Exiter MAC address", nullptr},
{9, "Exctr_MAC_Enbl", BOOL, P, 1, 0, nullptr, 0, 1, lstNoYes, nullptr, nullptr,
    "Exiter MAC address enable", "Used only in TCP mode"},
{10, "Bypass_Enbl", BOOL, P, 1, 0, nullptr, 0, 1, lstNoYesAction, nullptr, nullptr,
    "System audio bypass enable", "Analog in = analog out"},
{11, "Ping_Rate0", INT, P, 1, 10, nullptr, 3, 30, nullptr, "sec", nullptr,
    "Ping rate for .....", nullptr},
{12, "Excter_Rst_Dly", INT, P, 1, 5, nullptr, 0, 20, nullptr, nullptr, nullptr,
    "Exciter/Exgine Reset Delay (secs)", nullptr},
{13, "Monitor_Src", INT, P, 1, 1, nullptr, 0, 6, lstMonitorSrc, nullptr, nullptr,
    "Audio monitor source", "Dig in, Analog in, Dig out, Analog out..."},
{14, "Monitor_Vol", FLT, P, 1, 0, nullptr, -30, 0, nullptr, " dBFs", nullptr,
    "Monitor volume (dBFs)", nullptr},
{15, "LCD_AccessLvl", INT, P, 1, 1, nullptr, 4, 4, lstAccessLevel, nullptr, nullptr,
    "LCD access view level",
    "Change this to reduce or increase the amount of information displayed"},
{16, "TimeZone", INT, P, 1, -300, nullptr, -800, 800, nullptr, " min", nullptr,
    "TimeZone", "Timezone offset from UTC in minutes"},
{17, "UseGPSTime", BOOL, P, 1, 1, nullptr, 0, 1, lstNoYes, nullptr, nullptr,
    "Use GPS to set local time", "Set this to 'yes' to use GPS to set local time"},
{18, "DSTObserved", INT, P, 1, 1, nullptr, -1, 1, lstDstObserved, nullptr, nullptr,
    "DSTObserved", "Is DST observed locally?"},
{19, "DSTActive", INT, P, 1, 2, nullptr, -1, 2, lstDstActive, nullptr, nullptr,
    "DSTActive", "Is DST in effect now?"},
{20, "DSTSchedule", INT, P, 1, 1, nullptr, 1, 2, lstDstSchedule, nullptr, nullptr,
    "DSTSChedule", "DST schedule"},
{21, "DSTTxSchedule", INT, P, 1, 1, nullptr, 0, 1, lstNoYes, nullptr, nullptr,
    "DSTTxSChedule", "Transmit DST schedule"},
{22, "PendingLeapSeconds", INT, P, 1, 0, nullptr, -127, 127, nullptr, " s", nullptr,
    "PendingLeapSeconds", "pending leap seconds"},
{23, "PresentLeapSeconds", INT, P, 1, 14, nullptr, -127, 127, nullptr, " s", nullptr,
    "PresentLeapSeconds", "present leap seconds"},
{24, "TimeDateChange", TIME, N, 1, 0, "2000-01-01 00:00:00", 0, 0, nullptr, nullptr, nullptr,
    "Date/Time at last change", "Used to set current system time"},
{25, "Mute_Analog", BOOL, N, 1, 0, nullptr, 0, 1, lstNoYesAction, nullptr, nullptr,
    "Mute the analog output",
    "Mute the analog channel (auto-switchover should happen if enabled)"},
{26, "Mute_Digital", BOOL, N, 1, 0, nullptr, 0, 1, lstNoYesAction, nullptr, nullptr,
    "Mute the digital output",
    "Mute the digital channel (auto-switchover s11hould happen if enabled)"},
{27, "AutoRteA2D", BOOL, P, 1, 1, nullptr, 0, 1, lstNoYes, nullptr, nullptr,
    "Auto switch for failed digital audio",
    "Automatically switch working analog to digital if digital fails"},
{28, "AutoRteD2A", BOOL, P, 1, 1, nullptr, 0, 1, lstNoYes, nullptr, nullptr,
    "Auto switch for failed analog audio",
    "Automatically switch working digital to analog if digital fails"},
{29, "Rte_Dgtl2Anlg", BOOL, N, 1, 0, nullptr, 0, 1, lstNoYes, nullptr, nullptr,
    "Route digital in -> analog out",
    "Feed the digital input to the analog output (not retained through power cycles)"},
{30, "Rte_Anlg2Dgtl", BOOL, P, 1, 0, nullptr, 0, 1, lstAnlgInMode, nullptr, nullptr,
    "Route analog in -> digital out",
    "Feed the analog input to the digital output (not retained through power cycles)"},
{31, "Swp_LR_Dig_In", BOOL, P, 1, 0, nullptr, 0, 1, lstNoYes, nullptr, nullptr,
    "Swap data between digital Left/Right inputs", "Swap data between digital Left/Right inputs"},
{32, "Swp_LR_Anlg_In", BOOL, P, 1, 0, nullptr, 0, 1, lstNoYes, nullptr, nullptr,
    "Swap data between analog Left/Right inputs", "Swap data between analog Left/Right inputs"},
{33, "INVERT_ANALOG", INT, P, 1, 0, nullptr, 0, 1, lstNoYes, nullptr, nullptr,
    nullptr, "Inverts analog audio phase.\n"},
{34, "INVERT_DIGITAL", INT, P, 1, 0, nullptr, 0, 1, lstNoYes, nullptr, nullptr,
    nullptr, "Inverts digital audio phase.\n"},
{35, "Max_Dgtl_Quiet_Time", INT, P, 1, 10, nullptr, 5, 60, nullptr, "sec", nullptr,
    "Max digital quiet time before switch-over",
    "Maximum time for the digital input to be 'quiet' before analog input data is used"},
{36, "Max_Anlg_Quiet_Time", INT, P, 1, 10, nullptr, 5, 60, nullptr, "sec", nullptr,
    "Max analog quiet time before switch-over",
    "Maximum time for the analog input to be 'quiet' before digital input data is used"},
{37, "Enble_Imprt_Lnk_Flt", BOOL, P, 1, 1, nullptr, 0, 1, lstNoYes, nullptr, nullptr,
    "Enable importer link fault reporting", "Enable importer link fault reporting"},
{38, "Mntr_Tone_Freq", INT, P, 1, 1000, nullptr, 50, 20000, nullptr, "Hz", nullptr,
    "Monitor tone frequency", "Monitor tone can be from 50Hz to 10kHz"},
{39, "Mntr_Tone_RLB", INT, N, 1, 0, nullptr, 0, 2, lstToneChannels, nullptr, nullptr,
    "Monitor tone right, left or both",
    "Monitor tone can be output on right, left or both channels"},
{40, "HEADPHONE_VOL", INT, P, 1, 40, nullptr, 0, 100, nullptr, nullptr, nullptr,
    "Headphone Volume", "Controls head phone volume 0-100%"},
{41, "ETH0_OP_MODE", INT, P, 1, 1, nullptr, 1, 3, lstEthMode, nullptr, nullptr,
    "Ethernet0 Operational Mode", nullptr},
{42, "ETH0_IP_ADDR", IP, P, 1, 0, "10.10.10.10", 0, 0, nullptr, nullptr, nullptr,
    "ETH0 IP ADDR", nullptr},
{43, "ETH0_NETMASK", IP, P, 1, 0, "255.255.255.0", 0, 0, nullptr, nullptr, nullptr,
    "ETH0 NETMASK", nullptr},
{44, "ETH1_OP_MODE", INT, P, 1, 1, nullptr, 1, 3, lstEthMode, nullptr, nullptr,
    "Ethernet1 Operational Mode", nullptr},
{45, "ETH1_IP_ADDR", IP, P, 1, 0, "192.168.1.88", 0, 0, nullptr, nullptr, nullptr,
    "ETH1 IP ADDR", nullptr},
{46, "ETH1_NETMASK", IP, P, 1, 0, "255.255.255.0", 0, 0, nullptr, nullptr, nullptr,
    "ETH1 NETMASK", nullptr},
{47, "DEFAULT_GATEWAY", IP, P, 1, 0, "0.0.0.0", 0, 0, nullptr, nullptr, nullptr,
    "DEFAULT GATEWAY", nullptr},
{48, "ENABLE_IP_FORWARD", BOOL, P, 1, 1, nullptr, 0, 1, lstNoYes, nullptr, nullptr,
    "ENABLE IP FORWARDING", nullptr},
{49, "POWEROFF_REQ", BOOL, N, 1, 0, nullptr, 0, 1, lstNoYesAction, nullptr, nullptr,
    "Indicates a power off request is pending", nullptr},
{50, "POWEROFF_CMD", BOOL, N, 1, 0, nullptr, 0, 1, lstNoYesAction, nullptr, nullptr,
    "Indicates a power off command is issued", nullptr},
{51, "SYSRESTART_CMD", BOOL, N, 1, 0, nullptr, 0, 1, lstNoYesAction, nullptr, nullptr,
    "Indicates a power on/off command is issued", nullptr},
{52, "SYSRESTART_REQ", BOOL, N, 1, 0, nullptr, 0, 1, lstNoYesAction, nullptr, nullptr,
    "Indicates a power on/off request is pending", nullptr},
{53, "DSPHwFault", INT, N, 1, 0, nullptr, 0, 1, nullptr, nullptr, nullptr,
    "DSPHwFault", "DSP I/F test failed"},
{54, "UPDATE_CMD", BOOL, N, 1, 0, nullptr, 0, 1, lstNoYes, nullptr, nullptr,
    "An Upgrade command is issued", nullptr},
{55, "System_Status", INT, N, 1, 2, nullptr, 0, 100, lstFaultState, nullptr, nullptr,
    "Overall system fault state", nullptr},
{56, "Sys_stat_count", INT, N, 1, 0, nullptr, 0, NO_LIMIT, nullptr, nullptr, nullptr,
    "Overall system fault state change count", nullptr},
{57, "Audio_Status", INT, N, 1, 0, nullptr, 0, 100, lstFaultState, nullptr, nullptr,
    "Overall audio fault state", nullptr},
{58, "Audio_Status_Count", INT, N, 1, 0, nullptr, 0, NO_LIMIT, nullptr, nullptr, nullptr,
    "Overall audio fault state change count", nullptr},
{59, "GPS_Status_Count", INT, N, 1, 0, nullptr, 0, NO_LIMIT, nullptr, nullptr, nullptr,
    "State of GPS receiver change count", nullptr},
{60, "GPS_Status", INT, N, 1, 1, nullptr, 0, 100, nullptr, nullptr, nullptr,
    "State of GPS receiver", nullptr},
{61, "Imprtr_Status", INT, N, 1, 1, nullptr, 0, 100, lstFaultState, nullptr, nullptr,
    "Overall importer fault state", nullptr},
{62, "Imprtr_Status_count", INT, N, 1, 0, nullptr, 0, NO_LIMIT, nullptr, nullptr, nullptr,
    "Overall importer fault state count", nullptr},
{63, "Dgtl_In_OK", BOOL, N, 1, 1, nullptr, 0, 1, lstNoYes, nullptr, nullptr,
    "Indicates presence of Digital Input", "Indicates presence of Digital Input"},
{64, "Anlg_In_OK", BOOL, N, 1, 1, nullptr, 0, 1, lstNoYes, nullptr, nullptr,
    "Indicates presence of Analog Input", "Indicates presence of Analog Input"},
{65, "IF_WDog_Enbl", BOOL, P, 1, 1, nullptr, 0, 1, lstNoYes, nullptr, nullptr,
    "Enable / disable watchdog timer", "Enable / disable watchdog timer"},
{66, "debug_mode", INT, P, 2, 0, nullptr, 0, 10, nullptr, nullptr, nullptr,
    "General debug mode......", nullptr},
/* 67..72: no items */
{73, "ANALOG_RTP_TX_IP", IP, P, 1, 0, "0.0.0.0", 0, 0, nullptr, nullptr, nullptr,
    "Send analog audio to IP", nullptr},
{74, "ANALOG_RTP_TX_PORT", INT, P, 1, 4444, nullptr, 1, 65535, nullptr, nullptr, nullptr,
    "ANALOG_RTP_TX_PORT", "ANALOG_RTP_TX_PORT"},
{75, "CoreLogLvl", INT, P, 2, 2, nullptr, 0, 7, nullptr, nullptr, nullptr,
    "CORE_STATE.logLevel", nullptr},
{76, "SET_DEF_SMX", INT, P, 1, 1, nullptr, 0, 1, nullptr, nullptr, nullptr,
    nullptr, "Resets SMX bandwidth on restart.\n"},
{77, "PrmryCarrierCfg", INT, P, 2, 1, nullptr, 1, 5, lstCarrierCfg, nullptr, nullptr,
    "CORE_STATE.primaryCarrierCfg", "Only MP1_TO_MP11?"},
{78, "AudSmplPrXfr", INT, P, 2, 2048, nullptr, 0, 9999, nullptr, nullptr, nullptr,
    "CORE_STATE.audioSamplesPerXfer", nullptr},
{79, "AudStrbLckd", INT, P, 2, 1, nullptr, 0, 1, lstNoYes, nullptr, nullptr,
    "CORE_STATE.audioStrobeLocked", "Indicates timing is right"},
{80, "AudSmplPrStrb", INT, P, 2, 2048, nullptr, 0, 4096, nullptr, nullptr, nullptr,
    "CORE_STATE.audioSamplesPerStrobe", nullptr},
{81, "MPS_LogLvl", INT, P, 1, 1, nullptr, 0, 7, nullptr, nullptr, nullptr,
    "mpsState.logLevel", nullptr},
{82, "MPS_PSD_INTERVAL", INT, P, 1, 45, nullptr, 1, 120, nullptr, nullptr, nullptr,
    "MPS_PSD_INTERVAL", nullptr},
{83, "MPS_PSD_PORT", INT, P, 1, 11000, nullptr, 1, 65535, nullptr, nullptr, nullptr,
    "MPS_PSD_PORT", nullptr},
{84, "MPS_StnInfPrgTyp", INT, P, 1, 0, nullptr, 0, 31, lstProgramType, nullptr, nullptr,
    "mpsState.stationInfoProgType", "program type..."},
{85, "MPS_DecdeDgtl", BOOL, P, 1, 0, nullptr, 0, 1, lstNoYes, nullptr, nullptr,
    "mpsState.decodeDigital", "does ????"},
{86, "MPS_StnInfProcInf", INT, P, 1, 0, nullptr, 0, 31, nullptr, nullptr, nullptr,
    "mpsState.stationInfoProcessingInfo", nullptr},
{87, "MPS_AnlgSrcCfg_A", INT, P, 1, 6, nullptr, 1, 6, lstAnlgSrcCfg, nullptr, nullptr,
    "mpsState.analogSrcCfg - Analog", "== ??"},
{88, "MPS_AnlgSrcCfg_D", INT, P, 1, 6, nullptr, 1, 6, lstAnlgSrcCfg, nullptr, nullptr,
    "mpsState.analogSrcCfg - Digital", "== ??"},
{89, "MPS_AnlgSrcCfg", INT, P, 1, 4, nullptr, 1, 6, lstAnlgSrcCfg, nullptr, nullptr,
    "mpsState.analogSrcCfg", "== ??"},
/* 90..122: SMX channel family */
{123, "SMX_LogLvl", INT, P, 4, 1, nullptr, 0, 7, nullptr, nullptr, nullptr,
    "SMX.logLevel", nullptr},
{124, "SMX_BfrDlyIn", INT, P, 4, 20, nullptr, 0, 9999, nullptr, nullptr, nullptr,
    "SMX.bufferDelayInAlfn", nullptr},
{125, "DvrstyDly_Reqd_Anlg", FLT, P, 1, 0, nullptr, 0, 20, nullptr, "sec", nullptr,
    "Analog Diversity Delay Required (seconds)", nullptr},
{126, "DvrstyDly_Rate_Anlg", INT, P, 1, 100, nullptr, 1, 4096, nullptr, nullptr, nullptr,
    "Analog Diversity Ramp Factor (RampTime = this * totalDelay)", nullptr},
{127, "DvrstyDly_Incr_Anlg", INT, P, 1, 20, nullptr, 1, 4096, nullptr, "uS", nullptr,
    "Analog Diversity Increment Value", nullptr},
{128, "DvrstyDly_Anlg_Enbl", BOOL, P, 1, 0, nullptr, 0, 1, lstRampDir, nullptr, nullptr,
    "Analog Diversity Delay Ramp up/down", nullptr},
{129, "SYNC_10MHZ_DAC_VALUE", INT, P, 1, 134213632, nullptr, 0, 268431360, nullptr, nullptr,
    nullptr, "GPS calibration value", nullptr},
{130, "SYNC_DRIVE_INT_1PPS", INT, P, 1, 0, nullptr, 0, 1, lstNoYes, nullptr, nullptr,
    nullptr, "SYNC_DRIVE_INT_1PPS.\n"},
{131, "SYNC_ENABLE_TIME_ANNOUNCE", INT, P, 1, 0, nullptr, 0, 1, lstNoYes, nullptr, nullptr,
    nullptr, "SYNC_ENABLE_TIME_ANNOUNCE.\n"},
{132, "SIS_CntryCde", INT, P, 8, 1, nullptr, 0, 1023, nullptr, nullptr, nullptr,
    "sisState.countryCode", nullptr},
{133, "SIS_CNTRY_CD_ASCII", TEXT, P, 8, 0, "US", 2, 2, nullptr, nullptr, CAPITALS,
    "SIS_CNTRY_CD_ASCII", "Country Extension"},
{134, "SIS_FccId", INT, P, 8, 21, nullptr, 0, 131071, nullptr, nullptr, nullptr,
    "sisState.fccId", nullptr},
{135, "SIS_CsStdNme", TEXT, P, 8, 0, "TORV", 0, 4, nullptr, nullptr, CAPITALS_BLANK,
    "sisState.stnNameShort.name", "4 character call sign"},
{136, "itmSIS_CLL_SGN_STD_NME", BOOL, P, 8, 1, nullptr, 0, 1, lstNoYes, nullptr, nullptr,
    "sisState.stnNameShort.appendInfo", "append..."},
{137, "SIS_CsUnvNme", TEXT, P, 8, 0, "  ", 0, 12, nullptr, nullptr, nullptr,
    "sisState.unvStnNameShort.name", nullptr},
{138, "SIS_CsUnvEncd", INT, P, 8, 0, nullptr, 0, 1, lstTextEncoding, nullptr, nullptr,
    "sisState.unvStnNameShort.encode", "encode method..."},
{139, "SIS_CsUnvAppInf", BOOL, P, 8, 1, nullptr, 0, 1, lstNoYes, nullptr, nullptr,
    "sisState.unvStnNameShort.appendInfo", "append...."},
{140, "SIS_SlgnStd", TEXT, P, 8, 0, "  ", 0, 56, nullptr, nullptr, nullptr,
    "sisState.stnNameLong", nullptr},
{141, "SIS_SlgnUnvNme", TEXT, P, 8, 0, "  ", 0, 95, nullptr, nullptr, nullptr,
    "sisState.slogan.name", nullptr},
{142, "SIS_SlgnUnvEncd", INT, P, 8, 0, nullptr, 0, 1, lstTextEncoding, nullptr, nullptr,
    "sisState.slogan.encode", "encode method..."},
{143, "SIS_SlgnUnvEnbl", BOOL, P, 8, 1, nullptr, 0, 1, lstNoYes, nullptr, nullptr,
    "sisState.slogan.enableStdUnvSlogan", "univ=std slogan"},
{144, "SIS_StnMsgMsg", TEXT, P, 8, 0, " ", 0, 190, nullptr, nullptr, nullptr,
    "sisState.stationMsg.msg", nullptr},
{145, "SIS_StnMsgPrrty", BOOL, P, 8, 0, nullptr, 0, 1, lstMsgPriority, nullptr, nullptr,
    "sisState.stationMsg.priority", "higer = ??"},
{146, "SIS_StnMsgEncd", INT, P, 8, 0, nullptr, 0, 9999, lstTextEncoding, nullptr, nullptr,
    "sisState.stationMsg.encode", "encode mthd...."},
{147, "AntennaLongitude", TEXT, P, 1, 0, "W000.00000", 10, 10, nullptr, nullptr,
    LONGITUDE_CHARS, "AntennaLongitude", "Antenna Longitude"},
{148, "AntennaLatitude", TEXT, P, 1, 0, "N000.00000", 10, 10, nullptr, nullptr,
    LATITUDE_CHARS, "AntennaLatitude", "Antenna Latitude"},
{149, "AntennaAltitude", INT, P, 1, 100, nullptr, 0, 20000, nullptr, " m", nullptr,
    "AntennaAltitude", "Antenna Altitude"},
/* 150..197: SIS schedule family */
{198, "SIS_LogLvl", INT, P, 8, 1, nullptr, 0, 7, nullptr, nullptr, nullptr,
    "sisState.logLevel", nullptr},
{199, "SrvInf_mpsPrgTyp", INT, P, 32, 1, nullptr, 0, 31, lstProgramType, nullptr, nullptr,
    "serviceInfo.mpsProgType", "stn category etc..."},
{200, "SrvInf_mpsProcInf", INT, P, 32, 1, nullptr, 0, 131071, nullptr, nullptr, nullptr,
    "serviceInfo.mpsProcessingInfo", nullptr},
{201, "SrvInf_N_Aud_Inf", INT, P, 32, 1, nullptr, 0, 99, nullptr, nullptr, nullptr,
    "serviceInfo.noOfSpsAudioInfo", nullptr},
/* 202..233: audio service information family */
{234, "SrvInf_N_Dta_Inf", INT, P, 1, 1, nullptr, 0, 24, nullptr, nullptr, nullptr,
    "serviceInfo.noOfDataInfo", nullptr},
/* 235..306: data service information family */
{307, "HDCC_CHANNEL_MODE_ENH", INT, P, 1, 2, nullptr, 1, 5, lstChannelMode, nullptr, nullptr,
    "mpsState.enh", "== ??"},
{308, "HDCC_CHANNEL_MODE_CORE", INT, P, 1, 2, nullptr, 1, 5, lstChannelMode, nullptr, nullptr,
    "mpsState.core", "== ??"},
{309, "E2X_PACKET_HOLDOFF", INT, P, 1, 16, nullptr, 0, 65535, nullptr, nullptr, nullptr,
    "Number of Packets to Hold Off", nullptr},
{310, "SET_BASIC_SIS", BOOL, P, 1, 0, nullptr, 0, 1, lstNoYes, nullptr, nullptr,
    "sis.set_basic_schedule", "configures basic SIS schedule"},
{311, "SET_DFAULT_SIS", BOOL, P, 1, 0, nullptr, 0, 1, lstNoYes, nullptr, nullptr,
    "sis.set_default_schedule", "configures default SIS schedule"},
{312, "EXT_IF_VERSION", INT, P, 1, 10, nullptr, 0, 1000, nullptr, nullptr, nullptr,
    "External IF Version *10", nullptr},
{313, "SYSTEM_NAME", TEXT, P, 1, 0, "  ", 0, 128, nullptr, nullptr, nullptr,
    "SystemName", "System Name"},
/* 314, 315: no items */
{316, "RESET_TO_FACTORY_DEFAULTS", INT, N, 1, 0, nullptr, 0, 1, lstNoYesAction, nullptr, nullptr,
    nullptr, "RESET_TO_FACTORY_DEFAULTS"},
{317, "EAS_NUM_SIS_BLKS", INT, P, 1, 8, nullptr, 8, 12, lstSisBlocks, nullptr, nullptr,
    "EAS_NUM_SIS_BLKS", "EAS_NUM_SIS_BLKS"},
{318, "DNS_SERVER", IP, P, 1, 0, "10.10.10.254", 0, 0, nullptr, nullptr, nullptr,
    "DNS SERVER IP", nullptr},
/* 319: no item */
{-1, nullptr, 0, 0, 0, 0, nullptr, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr},
};

/* ---- families ---------------------------------------------------------- */

namespace {

const familyMember smxMembers[] = {
  {"SmxActChan_", BOOL, 0, 1, lstNoYes, "SMX_STATE_smxActChan[", "]", "Channel on or Not"},
  {"MpsSize_", INT, 0, 99999, nullptr, "   SMX_STATE_smxCfg[", "].mpsSize", nullptr},
  {"AasSize_", INT, 0, 99999, nullptr, "   SMX_STATE_smxCfg[", "].aasSize", nullptr},
  {nullptr, 0, 0, 0, nullptr, nullptr, nullptr, nullptr},
};

/* SmxActChan, MpsSize, AasSize by instance 00..10. */
const int32_t smxDefaults[11 * 3] = {
  1, 18011, 0,   /* 00: MpsSize_00 follows the carrier mode, see smxRule */
  0, 0, 0,       /* 01 */
  0, 0, 0,       /* 02 */
  0, 0, 0,       /* 03 */
  1, 10, 0,      /* 04 */
  0, 0, 0,       /* 05 */
  0, 0, 0,       /* 06 */
  0, 0, 0,       /* 07 */
  0, 0, 0,       /* 08 */
  0, 0, 0,       /* 09 */
  0, 0, 0,       /* 10 */
};

/* In the AM MA1 carrier mode (PrmryCarrierCfg 4) channel 0 carries no MPS. */
const familyDefaultRule smxRule = {0, 1, 77, 4, 0};

const familyMember sisMembers[] = {
  {"SIS_Nplds_", INT, 0, 2, nullptr, "sisState.schedule[", "].noOfPlids", nullptr},
  {"SIS_Plid0_", INT, 0, 9, lstPlid, "sisState.schedule[", "].plid[0]", nullptr},
  {"SIS_Plid1_", INT, -1, 9, lstPlidOrEmpty, "sisState.schedule[", "].plid[1]", nullptr},
  {nullptr, 0, 0, 0, nullptr, nullptr, nullptr, nullptr},
};

/* noOfPlids, plid[0], plid[1] by instance 00..15. */
const int32_t sisDefaults[16 * 3] = {
  2, 1, 0,    /* 00 */
  2, 8, 8,    /* 01 */
  2, 1, 0,    /* 02 */
  1, 6, -1,   /* 03 */
  2, 1, 0,    /* 04 */
  2, 8, 8,    /* 05 */
  2, 1, 0,    /* 06 */
  2, 4, 4,    /* 07 */
  1, 7, -1,   /* 08 */
  2, 1, 0,    /* 09 */
  2, 8, 8,    /* 10 */
  1, 6, -1,   /* 11 */
  2, 9, 0,    /* 12 */
  1, 7, -1,   /* 13 */
  2, 1, 0,    /* 14 */
  2, 8, 8,    /* 15 */
};

const familyMember audioInfoMembers[] = {
  {"SrvInf_A_PrgInf_", INT, 0, 9999, nullptr, "ServiceInfo.AudioInfo[", "].progNum", nullptr},
  {"SrvInf_A_PrgType_", INT, 0, 9999, nullptr, "ServiceInfo.AudioInfo[", "].progType", nullptr},
  {"SrvInf_A_ProcInf_", INT, 0, 9999, nullptr, "ServiceInfo.AudioInfo[", "].processingInfo",
   nullptr},
  {"SrvInf_A_CA_Lvl_", BOOL, 0, 1, nullptr, "ServiceInfo.AudioInfo[", "].caLevel", nullptr},
  {nullptr, 0, 0, 0, nullptr, nullptr, nullptr, nullptr},
};

/* The data family's labels really do say AudioInfo: labels only. */
const familyMember dataInfoMembers[] = {
  {"SrvInf_D_DtaTyp_", INT, 0, 9999, nullptr, "ServiceInfo.AudioInfo[", "].dataType", nullptr},
  {"SrvInf_D_MimTyp_", INT, 0, 9999, nullptr, "ServiceInfo.AudioInfo[", "].mimeType", nullptr},
  {"SrvInf_D_CA_Lvl_", BOOL, 0, 1, nullptr, "ServiceInfo.AudioInfo[", "].caLevel", nullptr},
  {nullptr, 0, 0, 0, nullptr, nullptr, nullptr, nullptr},
};

}  // namespace

const itemFamily itemFamilies[] = {
/* first stride count group file members defaults commonDflt rule */
  {90, 3, 11, 4, P, smxMembers, smxDefaults, 0, &smxRule},
  {150, 3, 16, 16, P, sisMembers, sisDefaults, 0, nullptr},
  {202, 4, 8, 1, P, audioInfoMembers, nullptr, 1, nullptr},
  {235, 3, 24, 32, P, dataInfoMembers, nullptr, 1, nullptr},
  {-1, 0, 0, 0, 0, nullptr, nullptr, 0, nullptr},
};
// clang-format on

/* ---- lookups ----------------------------------------------------------- */

const catalogueRow* findCatalogueRow(int index) {
  for (const catalogueRow* r = itemCatalogue; r->index >= 0; ++r)
    if (r->index == index) return r;
  return nullptr;
}

const itemFamily* findFamily(int index) {
  for (const itemFamily* f = itemFamilies; f->first >= 0; ++f)
    if (index >= f->first && index < f->first + f->stride * f->count) return f;
  return nullptr;
}

int32_t familyDefault(const itemFamily& fam, int instance, int member) {
  if (fam.defaults == nullptr) return fam.commonDflt;
  if (instance < 0 || instance >= fam.count || member < 0 || member >= fam.stride)
    return fam.commonDflt;
  return fam.defaults[instance * fam.stride + member];
}

/* NN: tens digit then units digit, "00", "01", ... "09", "10", ... */
static int formatWithNumber(const char* pre, int instance, const char* post, char* out,
                            int size) {
  if (out == nullptr || size <= 0 || instance < 0 || instance > 99) return -1;
  int n = std::snprintf(out, static_cast<size_t>(size), "%s%02d%s", pre ? pre : "", instance,
                        post ? post : "");
  return (n < 0 || n >= size) ? -1 : n;
}

int familyItemName(const itemFamily& fam, int instance, int member, char* out, int size) {
  if (member < 0 || member >= fam.stride) return -1;
  return formatWithNumber(fam.members[member].prefix, instance, "", out, size);
}

int familyItemDescription(const itemFamily& fam, int instance, int member, char* out,
                          int size) {
  if (member < 0 || member >= fam.stride) return -1;
  const familyMember& m = fam.members[member];
  return formatWithNumber(m.descPre, instance, m.descPost, out, size);
}
