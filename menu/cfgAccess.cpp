/*
** Reading configuration items for the menu editor.
*/
#include "menu/cfgAccess.h"

void cfgItemChoices(const data_itm_Base* item, std::vector<treeChoice>* out) {
  out->clear();
  if (item == nullptr) return;
  for (const auto& kv : item->choices) out->push_back({kv.first, kv.second ? kv.second : ""});
}

const char* cfgItemUnits(const data_itm_Base* item) {
  return (item && item->units) ? item->units : "";
}

const char* cfgItemHelp(const data_itm_Base* item) {
  if (item == nullptr) return nullptr;
  if (item->helpText && *item->helpText) return item->helpText;
  if (item->description && *item->description) return item->description;
  return nullptr;
}

int cfgItemValueText(data_itm_Base* item, char* buf, int size) {
  if (size <= 0) return 0;
  buf[0] = '\0';
  if (item == nullptr) return 0;
  int n = item->strOut(buf, size, nullptr, 0, nullptr, false);
  if (n < 0) n = 0;
  if (n >= size) n = size - 1;
  buf[n] = '\0';
  return n;
}

const char* cfgItemString(data_itm_Base* item) {
  if (item == nullptr || item->typeCode != dtSTRING) return "";
  return static_cast<data_itm<string_wrapper_s>*>(item)->value.text.c_str();
}
