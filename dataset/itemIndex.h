/*
** Fixed indices of the exporter data set's items.  The index is the key of
** subscriptions and binary records, so every party (master, console, menus)
** must agree on it; code names items through these constants, never by a
** bare number.  Each constant is "itm" followed by the item's name as the
** catalogue writes it (itmSIS_CLL_SGN_STD_NME is already so named).
**
** Repeated items (the families) have a first index and a stride; instance n,
** member m sits at first + n * stride + m.  See familyIndex().
** Indices 67..72, 314, 315 and 319 hold no item.
*/
#ifndef DATASET_ITEMINDEX_H
#define DATASET_ITEMINDEX_H

enum doviduItemIndex {
  itmUSER_IF_VERSION = 0,
  itmUPDATE_HOST_IP = 1,
  itmUPDATE_FILE = 2,
  itmVolume_Adjust = 3,
  itmBlend_Control = 4,
  itmExcter_Prtcl = 5,
  itmExctr_IP_Addr = 6,
  itmEXCITER_PORT = 7,
  itmExctr_MAC_Addr = 8,
  itmExctr_MAC_Enbl = 9,
  itmBypass_Enbl = 10,
  itmPing_Rate0 = 11,
  itmExcter_Rst_Dly = 12,
  itmMonitor_Src = 13,
  itmMonitor_Vol = 14,
  itmLCD_AccessLvl = 15,
  itmTimeZone = 16,
  itmUseGPSTime = 17,
  itmDSTObserved = 18,
  itmDSTActive = 19,
  itmDSTSchedule = 20,
  itmDSTTxSchedule = 21,
  itmPendingLeapSeconds = 22,
  itmPresentLeapSeconds = 23,
  itmTimeDateChange = 24,
  itmMute_Analog = 25,
  itmMute_Digital = 26,
  itmAutoRteA2D = 27,
  itmAutoRteD2A = 28,
  itmRte_Dgtl2Anlg = 29,
  itmRte_Anlg2Dgtl = 30,
  itmSwp_LR_Dig_In = 31,
  itmSwp_LR_Anlg_In = 32,
  itmINVERT_ANALOG = 33,
  itmINVERT_DIGITAL = 34,
  itmMax_Dgtl_Quiet_Time = 35,
  itmMax_Anlg_Quiet_Time = 36,
  itmEnble_Imprt_Lnk_Flt = 37,
  itmMntr_Tone_Freq = 38,
  itmMntr_Tone_RLB = 39,
  itmHEADPHONE_VOL = 40,
  itmETH0_OP_MODE = 41,
  itmETH0_IP_ADDR = 42,
  itmETH0_NETMASK = 43,
  itmETH1_OP_MODE = 44,
  itmETH1_IP_ADDR = 45,
  itmETH1_NETMASK = 46,
  itmDEFAULT_GATEWAY = 47,
  itmENABLE_IP_FORWARD = 48,
  itmPOWEROFF_REQ = 49,
  itmPOWEROFF_CMD = 50,
  itmSYSRESTART_CMD = 51,
  itmSYSRESTART_REQ = 52,
  itmDSPHwFault = 53,
  itmUPDATE_CMD = 54,
  itmSystem_Status = 55,
  itmSys_stat_count = 56,
  itmAudio_Status = 57,
  itmAudio_Status_Count = 58,
  itmGPS_Status_Count = 59,
  itmGPS_Status = 60,
  itmImprtr_Status = 61,
  itmImprtr_Status_count = 62,
  itmDgtl_In_OK = 63,
  itmAnlg_In_OK = 64,
  itmIF_WDog_Enbl = 65,
  itmdebug_mode = 66,
  itmANALOG_RTP_TX_IP = 73,
  itmANALOG_RTP_TX_PORT = 74,
  itmCoreLogLvl = 75,
  itmSET_DEF_SMX = 76,
  itmPrmryCarrierCfg = 77,   /* the operating mode; 4 and 5 are the AM modes */
  itmAudSmplPrXfr = 78,
  itmAudStrbLckd = 79,
  itmAudSmplPrStrb = 80,
  itmMPS_LogLvl = 81,
  itmMPS_PSD_INTERVAL = 82,
  itmMPS_PSD_PORT = 83,
  itmMPS_StnInfPrgTyp = 84,
  itmMPS_DecdeDgtl = 85,
  itmMPS_StnInfProcInf = 86,
  itmMPS_AnlgSrcCfg_A = 87,
  itmMPS_AnlgSrcCfg_D = 88,
  itmMPS_AnlgSrcCfg = 89,
  itmSmxActChan_00 = 90,     /* SMX channel family, 11 instances of 3 */
  itmSMX_LogLvl = 123,
  itmSMX_BfrDlyIn = 124,
  itmDvrstyDly_Reqd_Anlg = 125,
  itmDvrstyDly_Rate_Anlg = 126,
  itmDvrstyDly_Incr_Anlg = 127,
  itmDvrstyDly_Anlg_Enbl = 128,
  itmSYNC_10MHZ_DAC_VALUE = 129,
  itmSYNC_DRIVE_INT_1PPS = 130,
  itmSYNC_ENABLE_TIME_ANNOUNCE = 131,
  itmSIS_CntryCde = 132,
  itmSIS_CNTRY_CD_ASCII = 133,
  itmSIS_FccId = 134,
  itmSIS_CsStdNme = 135,     /* station short name, the boot text's call sign */
  itmSIS_CLL_SGN_STD_NME = 136,
  itmSIS_CsUnvNme = 137,
  itmSIS_CsUnvEncd = 138,
  itmSIS_CsUnvAppInf = 139,
  itmSIS_SlgnStd = 140,
  itmSIS_SlgnUnvNme = 141,
  itmSIS_SlgnUnvEncd = 142,
  itmSIS_SlgnUnvEnbl = 143,
  itmSIS_StnMsgMsg = 144,
  itmSIS_StnMsgPrrty = 145,
  itmSIS_StnMsgEncd = 146,
  itmAntennaLongitude = 147,
  itmAntennaLatitude = 148,
  itmAntennaAltitude = 149,
  itmSIS_Nplds_00 = 150,     /* SIS schedule family, 16 instances of 3 */
  itmSIS_LogLvl = 198,
  itmSrvInf_mpsPrgTyp = 199,
  itmSrvInf_mpsProcInf = 200,
  itmSrvInf_N_Aud_Inf = 201,
  itmSrvInf_A_PrgInf_00 = 202, /* audio service info family, 8 instances of 4 */
  itmSrvInf_N_Dta_Inf = 234,
  itmSrvInf_D_DtaTyp_00 = 235, /* data service info family, 24 instances of 3 */
  itmHDCC_CHANNEL_MODE_ENH = 307,
  itmHDCC_CHANNEL_MODE_CORE = 308,
  itmE2X_PACKET_HOLDOFF = 309,
  itmSET_BASIC_SIS = 310,
  itmSET_DFAULT_SIS = 311,
  itmEXT_IF_VERSION = 312,
  itmSYSTEM_NAME = 313,
  itmRESET_TO_FACTORY_DEFAULTS = 316,
  itmEAS_NUM_SIS_BLKS = 317,
  itmDNS_SERVER = 318,

  itmMAX_ITEM = 320          /* size of the index space; indices 0..319 */
};

/* Shape of the families: first index, members per instance, instances. */
enum doviduFamilyShape {
  famSMX_STRIDE = 3, famSMX_COUNT = 11,      /* SmxActChan, MpsSize, AasSize */
  famSIS_STRIDE = 3, famSIS_COUNT = 16,      /* SIS_Nplds, SIS_Plid0, SIS_Plid1 */
  famSRVA_STRIDE = 4, famSRVA_COUNT = 8,     /* PrgInf, PrgType, ProcInf, CA_Lvl */
  famSRVD_STRIDE = 3, famSRVD_COUNT = 24     /* DtaTyp, MimTyp, CA_Lvl */
};

/* Index of member `member` of instance `instance` of the family whose
** first index is `first` and stride `stride`. */
constexpr int familyIndex(int first, int stride, int instance, int member) {
  return first + stride * instance + member;
}

#endif
