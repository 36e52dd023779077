/*
** The choice lists of the exporter data set, entry for entry in stored
** order.  Most lists close with (-1, ""); the three long program and PLID
** lists close with (0, null), as they always have.  Both forms end a list.
*/
#include "dataset/choiceLists.h"

const choiceEntry lstNoYes[] = {
  {0, "No"},
  {1, "Yes"},
  {-1, ""},
};

const choiceEntry lstMsgPriority[] = {
  {0, "Low Priority"},
  {1, "High Priority"},
  {-1, ""},
};

const choiceEntry lstNoYesAction[] = {
  {0, "no"},
  {1, "YES!"},
  {-1, ""},
};

const choiceEntry lstRampDir[] = {
  {0, "Ramp Down"},
  {1, "Ramp Up"},
  {-1, ""},
};

const choiceEntry lstCarrierCfg[] = {
  {1, "FM MP1-MP3 Dynamic"},
  {2, "FM MP5 Dynamic"},
  {3, "FM MP6 Dynamic"},
  {4, "AM MA1"},
  {5, "AM MA3"},
  {-1, ""},
};

const choiceEntry lstAnlgInMode[] = {
  {0, "2-in Analog/Digital"},
  {1, "1-in Analog Only"},
  {-1, ""},
};

const choiceEntry lstDstObserved[] = {
  {0, "not observed"},
  {1, "observed"},
  {-1, "unknown"},
  {-1, ""},
};

const choiceEntry lstDstActive[] = {
  {0, "not in effect"},
  {1, "in effect"},
  {2, "automatic"},
  {-1, "unknown"},
  {-1, ""},
};

const choiceEntry lstDstSchedule[] = {
  {0, "no schedule"},
  {1, "US/Canada"},
  {2, "Europe"},
  {-1, ""},
};

const choiceEntry lstBlendCtrl[] = {
  {0, "No Blending"},
  {1, "Listener Select"},
  {2, "Always Blend"},
  {3, "Automatic Blend"},
  {-1, ""},
};

/* Stored from 12 down; the editors still offer " 8 Blocks" first. */
const choiceEntry lstSisBlocks[] = {
  {12, "12 Blocks"},
  {11, "11 Blocks"},
  {10, "10 Blocks"},
  {8, " 8 Blocks"},
  {-1, ""},
};

const choiceEntry lstMonitorSrc[] = {
  {0, "Off"},
  {1, "Digital In"},
  {2, "Live Analog"},
  {3, "Delayed Analog"},
  {4, "Generated Tone"},
  {5, "Generated Pulse"},
  {6, "RTP Stream In"},
  {-1, ""},
};

const choiceEntry lstAccessLevel[] = {
  {0, "View Only"},
  {1, "Basic Edit"},
  {2, "Full Edit"},
  {3, "Factory 1"},
  {4, "Factory 2"},
  {-1, ""},
};

const choiceEntry lstPlid[] = {
  {0, "STATION ID"},
  {1, "STATION NAME SHORT"},
  {2, "STATION NAME LONG"},
  {3, "STATION TIME"},
  {4, "STATION LOCATION"},
  {5, "STATION NAME UNIV"},
  {6, "STATION SLOGAN"},
  {7, "STATION MESSAGE"},
  {8, "SERVICE MESSAGE"},
  {9, "PARAMETER MESSAGE"},
  {0, nullptr},
};

const choiceEntry lstPlidOrEmpty[] = {
  {0, "STATION ID"},
  {1, "STATION NAME SHORT"},
  {2, "STATION NAME LONG"},
  {3, "STATION TIME"},
  {4, "STATION LOCATION"},
  {5, "STATION NAME UNIV"},
  {6, "STATION SLOGAN"},
  {7, "STATION MESSAGE"},
  {8, "SERVICE MESSAGE"},
  {9, "PARAMETER MESSAGE"},
  {-1, "--- empty ---"},
  {0, nullptr},
};

/* TCP is stored first; the editors offer "UDP (normal)" (0) first. */
const choiceEntry lstExciterProtocol[] = {
  {1, "TCP"},
  {0, "UDP (normal)"},
  {2, "UDP (reverse)"},
  {-1, ""},
};

const choiceEntry lstEthMode[] = {
  {1, "Port Disabled"},
  {2, "Static IP"},
  {3, "Dynamic DHCP"},
  {-1, ""},
};

const choiceEntry lstTextEncoding[] = {
  {0, "ISO 8859"},
  {1, "Unicode"},
  {-1, ""},
};

const choiceEntry lstProgramType[] = {
  {0, "(000) No PTY"},
  {1, "(001) News"},
  {2, "(002) Information"},
  {3, "(003) Sports"},
  {4, "(004) Talk"},
  {5, "(005) Rock"},
  {6, "(006) Classic Rock"},
  {7, "(007) Adult Hits"},
  {8, "(008) Soft Rock"},
  {9, "(009) Top 40"},
  {10, "(010) Country"},
  {11, "(011) Oldies"},
  {12, "(012) Soft"},
  {13, "(013) Nostalgia"},
  {14, "(014) Jazz"},
  {15, "(015) Classical"},
  {16, "(016) R & B"},
  {17, "(017) Soft R & B"},
  {18, "(018) Language"},
  {19, "(019) Religious Music"},
  {20, "(020) Religious Talk"},
  {21, "(021) Personality"},
  {22, "(022) Public"},
  {23, "(023) No PTY"},
  {24, "(024) No PTY"},
  {25, "(025) No PTY"},
  {26, "(026) No PTY"},
  {27, "(027) No PTY"},
  {28, "(028) No PTY"},
  {29, "(029) No PTY"},
  {30, "(030) No PTY"},
  {31, "(031) Alert"},
  {-1, "No PTY"},
  {0, nullptr},
};

const choiceEntry lstAnlgSrcCfg[] = {
  {1, "HDC"},
  {2, "HDCC"},
  {3, "PCMS"},
  {4, "PCMM"},
  {5, "None"},
  {6, "Default"},
  {-1, ""},
};

/* 3 has no entry on purpose: it shows "Invalid Lookup". */
const choiceEntry lstChannelMode[] = {
  {1, "mono"},
  {2, "stereo"},
  {4, "parametric stereo"},
  {-1, ""},
};

const choiceEntry lstFaultState[] = {
  {0, "OK"},
  {1, "Warning"},
  {2, "Error"},
  {3, "EvalProblem"},
  {-1, ""},
};

const choiceEntry lstToneChannels[] = {
  {0, "Both Channels"},
  {1, "Right Only"},
  {2, "Left Only"},
  {-1, ""},
};

const choiceListRow choiceListTable[] = {
  {"lstNoYes", lstNoYes},
  {"lstMsgPriority", lstMsgPriority},
  {"lstNoYesAction", lstNoYesAction},
  {"lstRampDir", lstRampDir},
  {"lstCarrierCfg", lstCarrierCfg},
  {"lstAnlgInMode", lstAnlgInMode},
  {"lstDstObserved", lstDstObserved},
  {"lstDstActive", lstDstActive},
  {"lstDstSchedule", lstDstSchedule},
  {"lstBlendCtrl", lstBlendCtrl},
  {"lstSisBlocks", lstSisBlocks},
  {"lstMonitorSrc", lstMonitorSrc},
  {"lstAccessLevel", lstAccessLevel},
  {"lstPlid", lstPlid},
  {"lstPlidOrEmpty", lstPlidOrEmpty},
  {"lstExciterProtocol", lstExciterProtocol},
  {"lstEthMode", lstEthMode},
  {"lstTextEncoding", lstTextEncoding},
  {"lstProgramType", lstProgramType},
  {"lstAnlgSrcCfg", lstAnlgSrcCfg},
  {"lstChannelMode", lstChannelMode},
  {"lstFaultState", lstFaultState},
  {"lstToneChannels", lstToneChannels},
  {nullptr, nullptr},
};

int choiceCount(const choiceEntry* list) {
  int n = 0;
  if (list == nullptr) return 0;
  while (list[n].text != nullptr && list[n].text[0] != '\0') ++n;
  return n;
}
