/*
** Choice lists of the exporter data set: the display text of every value an
** enumerated item may take.
**
** Each list is a constant array of (value, text) entries in stored order,
** ended by the first entry whose text is empty or null; that closing entry
** is not a choice.  Stored order is not display order: an item copies its
** list into an ordered map, so the editors always offer the choices in
** ascending value order.  Lists are shared by every item that names them
** and never change at run time.
**
** choiceListTable names every list; it ends with a row whose name is null.
*/
#ifndef DATASET_CHOICELISTS_H
#define DATASET_CHOICELISTS_H

#include "dataset/choiceEntry.h"

extern const choiceEntry lstNoYes[];
extern const choiceEntry lstMsgPriority[];
extern const choiceEntry lstNoYesAction[];
extern const choiceEntry lstRampDir[];
extern const choiceEntry lstCarrierCfg[];
extern const choiceEntry lstAnlgInMode[];
extern const choiceEntry lstDstObserved[];
extern const choiceEntry lstDstActive[];
extern const choiceEntry lstDstSchedule[];
extern const choiceEntry lstBlendCtrl[];
extern const choiceEntry lstSisBlocks[];
extern const choiceEntry lstMonitorSrc[];
extern const choiceEntry lstAccessLevel[];
extern const choiceEntry lstPlid[];
extern const choiceEntry lstPlidOrEmpty[];
extern const choiceEntry lstExciterProtocol[];
extern const choiceEntry lstEthMode[];
extern const choiceEntry lstTextEncoding[];
extern const choiceEntry lstProgramType[];
extern const choiceEntry lstAnlgSrcCfg[];
extern const choiceEntry lstChannelMode[];
extern const choiceEntry lstFaultState[];
extern const choiceEntry lstToneChannels[];

struct choiceListRow {
  const char* name;          /* null ends the table */
  const choiceEntry* list;
};

extern const choiceListRow choiceListTable[];

/* Number of choices before the closing entry. */
int choiceCount(const choiceEntry* list);

#endif
