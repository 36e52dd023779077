/*
** The command console's command tables, as data: compare them row by row
** with the operator's command list.  The console application acts on the
** numbers (app/cmdConsole.cpp); this file only says what may be typed.
*/
#include "cmdline/cmdInterp.h"

static const char SV_PARMS[] = "ID#|TextName NewValue";
static const char GV_PARMS[] = "ID#|TextName";
static const char SV_DETAIL[] =
    "This sets the value of a system paramter.  Use quotes to enclose text\n"
    "values that include spaces.";
static const char SCRPT_DETAIL[] =
    "This tells the embedded exporter process to run a script identified by 'ScriptFileName'";

/* id, name, parameter text, min, max, help, detailed help */
const CmdDef topLevelCmds[] = {
    {CMDID_DATA_MODE, "c", "", 0, 0, "Data Change Mode", nullptr},
    {CMDID_EDIT_WINDOW, "ew", "[ rows [ cols ]]", 0, 2, "Edit window mode", nullptr},
    {CMDID_EDIT_MODULE, "em", "", 0, 0, "Edit module mode", nullptr},
    {CMDID_SET_VALUE, "sv", SV_PARMS, 2, 2, "Set a paramter value", SV_DETAIL},
    {CMDID_GET_VALUE, "gv", GV_PARMS, 1, 1, "Get a value of a configuration parameter", nullptr},
    {CMDID_GET_ALL, "getAll", "[dispLevel]", 0, 1, "Get a list of all values.  dispLevel = 1,2,3",
     nullptr},
    {CMDID_SCRIPT, "scrpt", "ScriptFileName", 1, 1, "Trigger a script with the embedded exporter",
     SCRPT_DETAIL},
    {CMDID_TEST, "tst", "", 0, 0, "Temporary test functions", nullptr},
    {CMDID_KILL, "kill", "", 0, 0, "Send kill message to Master and then exit", nullptr},
    {CMDID_EXIT, "x", "", 0, 0, "exit", nullptr},
    {-1, "", "", 0, 0, "", nullptr},
};

const CmdDef dataLevelCmds[] = {
    {CMDID_SET_VALUE, "sv", SV_PARMS, 2, 2, "Set a paramter value", SV_DETAIL},
    {CMDID_GET_VALUE, "gv", GV_PARMS, 1, 1, "Get a value of a configuration parameter", nullptr},
    {CMDID_GET_ALL, "getAll", "[dispLevel]", 0, 1, "Get a list of all values.  dispLevel = 1,2,3",
     nullptr},
    {-1, "", "", 0, 0, "", nullptr},
};

const CmdDef testLevelCmds[] = {
    {CMDID_CURSOR, "c", "[itm [value]]", 0, 2, "Send a cursor code", nullptr},
    {-1, "", "", 0, 0, "", nullptr},
};

const CmdDef commonCmds[] = {
    {CMDID_UP, "u", "", 0, 0, "up one level", nullptr},
    {CMDID_TRACE, "-t", "(0-9)", 1, 1, "Set Trace Level (0-9)", nullptr},
    {CMDID_HELP, "h", "[cmd] (Include specific cmd for details)", 0, 1, "Help.", nullptr},
    {-1, "", "", 0, 0, "", nullptr},
};

/* Listed last by the general help; its empty detailed help marks it ")*". */
const CmdDef recallCmd = {-1, "r", "", 0, 0, "Recall and execute previous command", ""};
