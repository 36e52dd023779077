/*
** What every fuzz harness shares: a private working directory (queue keys
** and configuration files of a harness stay in it), a shell that runs
** nothing, and clean-up of the queues keyed on that directory however the
** run ends (normal exit, a sanitizer report or a crash).
**
** Not a test library: the harnesses are libFuzzer programs built only with
** -DDOVA_FUZZ=ON (clang); see fuzz/CMakeLists.txt and scripts/fuzz.
*/
#ifndef FUZZ_FUZZSUPPORT_H
#define FUZZ_FUZZSUPPORT_H

#include <cstddef>
#include <cstdint>
#include <string>

/* The harness's own directory, made on the first call: $DOVA_FUZZ_WORK when
** set (scripts/fuzz passes one, so it can clean up after a crash), else a
** fresh one under $TMPDIR or /tmp.  The first call also enters it, installs
** a shell hook that runs nothing, and arranges for the directory and every
** queue keyed on it to be removed at a normal exit. */
const std::string& fuzzWorkDir();

/* For LLVMFuzzerInitialize of a harness that enters its work directory:
** makes relative corpus paths and artifact prefixes absolute first, so
** libFuzzer still finds them.  With DOVA_FUZZ_CLEANUP=1 set it only removes
** the queues and files left under $DOVA_FUZZ_WORK and exits. */
void fuzzInitialize(int* argc, char*** argv);

/* A shared-memory name that belongs to the work directory, so a region a
** crashed harness left behind is removed by the clean-up run too. */
std::string fuzzShmName();

/* Remove the queues keyed on the work directory now (also done at exit). */
void fuzzRemoveQueues();

/* Reads the input front to back; past the end every read gives 0. */
class fuzzBytes {
public:
  fuzzBytes(const uint8_t* data, size_t size) : p(data), left(size) {}
  uint8_t byte() { return left ? (--left, *p++) : 0; }
  uint16_t u16() { uint16_t lo = byte(); return (uint16_t)(lo | (byte() << 8)); }
  uint32_t u32() { uint32_t lo = u16(); return lo | ((uint32_t)u16() << 16); }
  /* Up to n bytes (fewer at the end); returns how many. */
  size_t take(size_t n, const uint8_t** at) {
    if (n > left) n = left;
    *at = p;
    p += n;
    left -= n;
    return n;
  }
  size_t remaining() const { return left; }
  const uint8_t* rest() const { return p; }

private:
  const uint8_t* p;
  size_t left;
};

/* Abort with a message: the fuzzer reports it as a crash with this text. */
[[noreturn]] void fuzzFail(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

#endif
