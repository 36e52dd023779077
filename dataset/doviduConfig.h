/*
** dovidu_config: the exporter's configuration data set - its three files,
** its seven groups and its 311 items at fixed indices - built from the
** catalogue tables (itemCatalogue.h, choiceLists.h) on a generic_cfg.
**
** The same class serves the configuration master and the console unit;
** both must build the identical data set, since indices and names are what
** subscriptions, binary records and files carry.
**
** Console unit (client), as the start-up does it:
**     dovidu_config cfg(&traceLevel, pErrTrcLog);
**     if (cfg.initDataSet(&traceLevel, pErrTrcLog, 0, "doVA.x", 0, -1) == 0) {
**       cfg.addAllItems(2);
**       cfg.subscribeListSend();
**     }
** Master: initDataSet(..., 1, "cfgMaster.x", 0, -1) also adds every item
** and reads the configuration files.
**
** Results follow generic_cfg: initDataSet returns linkInit's result (0 ok).
** Item indices are named in itemIndex.h.
*/
#ifndef DATASET_DOVIDUCONFIG_H
#define DATASET_DOVIDUCONFIG_H

#include <deque>
#include <string>

#include "config/genericConfig.h"
#include "dataset/itemCatalogue.h"
#include "dataset/itemIndex.h"

class ErrTrcLog;

class dovidu_config : public generic_cfg {
public:
  dovidu_config(int* pTraceLevel = nullptr, ErrTrcLog* pErrLog = nullptr);
  ~dovidu_config() override;

  /* Link to the configuration queues as master (master != 0) or client
  ** (0), with progName as queue name, "." as key path, key byte 65 and a
  ** 10000-byte receive capacity.  auxSetting is kept with the data set;
  ** flashRecord is the flash area of the primary file (-1: none).
  ** Master, link up: define the files, add every item (mode 1), read the
  ** files.  Otherwise: define the files only; a client then runs
  ** addAllItems(2) and subscribes.  Returns linkInit's result, 0 on success. */
  int initDataSet(int* pTraceLevel, ErrTrcLog* pErrLog, int master, const char* progName,
                  int auxSetting, int flashRecord);

  /* The three files (numbers 0, 1, 2) and then the seven groups.  A second
  ** call creates nothing. */
  void defineFiles();

  /* defineItem for every index 0..319 in ascending order; mode 1 (master)
  ** or 2 (console) is only passed along.  Returns the items created. */
  int addAllItems(int mode);

  /* Create the item at `index`, or the whole family whose first index it
  ** is; defines the files first when needed.  Other family indices, and
  ** indices above 319, only trace.  Returns the items created. */
  int defineItem(int index);

  bool filesDefined() const { return haveFiles; }
  int auxSetting() const { return auxValue; }
  int flashRecord() const { return flashRec; }

private:
  int addSingle(const catalogueRow& row);
  int addFamily(const itemFamily& fam);
  int addFamilyMember(const itemFamily& fam, int instance, int member, int index);
  int32_t familyMemberDefault(const itemFamily& fam, int instance, int member);

  bool haveFiles = false;
  int auxValue = 0;
  int flashRec = -1;
  /* Family descriptions are built per instance; items keep only the
  ** pointer, so the texts live here as long as the items.  A deque never
  ** moves what it already holds. */
  std::deque<std::string> familyLabels;
};

#endif
