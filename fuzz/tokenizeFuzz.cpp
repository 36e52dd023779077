/*
** Fuzz harness: the in-place line tokenizer (tokenize, diag/cppUtils.h)
** with arbitrary lines, separator and terminator sets and token limits.
**
** Input:  u8 maxTokens (cut to 0..40) | u8 separator count S | u8
**         terminator count T | S separator bytes | T terminator bytes |
**         the line (NUL bytes included).  Sets are C strings, so a NUL in
**         them ends the set early, as with every caller.
**
** Two runs per input: over a buffer of exactly the line's length (the
** tokenizer itself must stay inside it), and over the line with the NUL
** behind it that every caller provides, where each stored token must be a
** string inside the line and the count and result must be in range.
*/
#include "diag/cppUtils.h"
#include "fuzz/fuzzSupport.h"

#include <cstdlib>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  fuzzInitialize(argc, argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzBytes in(data, size);
  int maxTokens = in.byte() % 41;
  const uint8_t* p = nullptr;
  size_t ns = in.take(in.byte() % 8, &p);
  std::string seps((const char*)p, ns);
  size_t nt = in.take(in.byte() % 8, &p);
  std::string terms((const char*)p, nt);
  size_t len = in.take(in.remaining(), &p);
  if (len > 100000) return 0;

  char* tokens[41];
  int count = -1;
  char* exact = (char*)malloc(len ? len : 1);
  if (len) memcpy(exact, p, len);
  tokenize(exact, &count, (int)len, maxTokens, tokens, seps.c_str(), terms.c_str());
  free(exact);

  char* line = (char*)malloc(len + 1);
  if (len) memcpy(line, p, len);
  line[len] = '\0';
  count = -1;
  int r = tokenize(line, &count, (int)len, maxTokens, tokens, seps.c_str(), terms.c_str());
  if (r < 0 || r > (int)len) fuzzFail("result %d outside 0..%zu", r, len);
  if (count < 0) fuzzFail("count %d", count);
  if (line[len] != '\0') fuzzFail("byte behind the line written");
  int stored = count < maxTokens ? count : maxTokens;
  for (int i = 0; i < stored; ++i) {
    if (tokens[i] < line || tokens[i] > line + len) fuzzFail("token %d outside the line", i);
    size_t l = strlen(tokens[i]);
    if (tokens[i] + l > line + len) fuzzFail("token %d runs past the line", i);
  }
  free(line);
  /* a null token array only counts */
  char* again = (char*)malloc(len + 1);
  if (len) memcpy(again, p, len);
  again[len] = '\0';
  int count2 = -1;
  tokenize(again, &count2, (int)len, maxTokens, nullptr, seps.c_str(), terms.c_str());
  if (count2 != count) fuzzFail("count %d without token array, %d with", count2, count);
  free(again);
  return 0;
}
