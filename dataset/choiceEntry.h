/*
** One entry of a choice list: a signed 32-bit value and its display text.
** A list ends at the first entry whose text is empty or null.  The entry is
** the configuration library's own row type, so the lists pass straight to
** the addItem operations.
*/
#ifndef DATASET_CHOICEENTRY_H
#define DATASET_CHOICEENTRY_H

#include "config/dataItem.h"

using choiceEntry = choiceEntry_s;

#endif
