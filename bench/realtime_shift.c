// Preloaded (LD_PRELOAD) into Wine and its server by scripts/bench: shifts
// the realtime clock by QVN_REALTIME_SHIFT seconds, so the scheduler can be
// shown a daylight-saving change now. The monotonic clock stays as it is,
// as Windows' tick count does.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdlib.h>
#include <sys/time.h>
#include <time.h>

// A 32-bit build is made with 64-bit time (as 32-bit Wine is): its
// functions are then the "64" ones of the C library.
#if defined(__USE_TIME_BITS64) && __TIMESIZE == 32
#define NEXT(name) "__" name "64"
#else
#define NEXT(name) name
#endif

static long long shift(void) {
  static long long seconds = -1;
  if (seconds == -1) {
    const char *text = getenv("QVN_REALTIME_SHIFT");
    seconds = text ? atoll(text) : 0;
  }
  return seconds;
}

static int realtime(clockid_t id) { return id == CLOCK_REALTIME || id == CLOCK_REALTIME_COARSE; }

int clock_gettime(clockid_t id, struct timespec *ts) {
  static int (*next)(clockid_t, struct timespec *);
  if (!next)
    next = (int (*)(clockid_t, struct timespec *))dlsym(RTLD_NEXT, NEXT("clock_gettime"));
  int result = next(id, ts);
  if (result == 0 && realtime(id))
    ts->tv_sec += shift();
  return result;
}

int gettimeofday(struct timeval *tv, void *tz) {
  static int (*next)(struct timeval *, void *);
  if (!next)
    next = (int (*)(struct timeval *, void *))dlsym(RTLD_NEXT, NEXT("gettimeofday"));
  int result = next(tv, tz);
  if (result == 0)
    tv->tv_sec += shift();
  return result;
}

time_t time(time_t *out) {
  struct timespec ts;
  clock_gettime(CLOCK_REALTIME, &ts);
  if (out)
    *out = ts.tv_sec;
  return ts.tv_sec;
}
