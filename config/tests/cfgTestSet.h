/*
** A small data set of every item type, shared by the configuration tests,
** a master's service loop driven until a condition holds, and a check that
** a trace holds every text it should.
*/
#ifndef CONFIG_TESTS_CFGTESTSET_H
#define CONFIG_TESTS_CFGTESTSET_H

#include "config/genericConfig.h"
#include "tests/support/testSupport.h"

#include <functional>
#include <gtest/gtest.h>
#include <initializer_list>
#include <string>

namespace cfgtest {

/* Index of each test item; 8 is left empty on purpose. */
enum {
  ixVOLUME = 0,    /* int  -8..7, "dB" */
  ixMONVOL = 1,    /* float -30..0 */
  ixMACENBL = 2,   /* bool with No/Yes */
  ixIP = 3,        /* ip 10.10.10.100 */
  ixMAC = 4,       /* mac 00:1A:2B:3C:4D:5E */
  ixTIME = 5,      /* date-time 2009-08-09 08:09:00 */
  ixSHORTNAME = 6, /* text max 4, capitals and blank */
  ixUPDFILE = 7,   /* text max 60 */
  ixBLEND = 9,     /* int 1..3 with a choice list */
  ixLONGTEXT = 10, /* text max 20000, not saved; 11 and 12 alike */
  ixLONGTEXT2 = 11,
  ixLONGTEXT3 = 12
};

/* Files 0 (no name) and 1 (cfgPath, may be null), groups 1 and 2, then the
** items above.  Returns the number of items created. */
int buildSmallSet(generic_cfg& cfg, const char* cfgPath);

using testsup::Child;

/* Run cfg.serviceCfg(0, 0) every millisecond until done() or timeoutMs. */
bool pumpUntil(generic_cfg& cfg, const std::function<bool()>& done, int timeoutMs);

/* The stored value of an item as its file line shows it. */
std::string valueText(generic_cfg& cfg, int index);

inline void expectAll(const std::string& out, std::initializer_list<const char*> texts) {
  for (const char* t : texts) EXPECT_NE(std::string::npos, out.find(t)) << t << " not in:\n" << out;
}

}  // namespace cfgtest

#endif
