// LeakSanitizer's suppressions for the engine tests, built into the test programs so that they
// apply however the tests are started. Only leaks inside system libraries belong here.
//
// libsndfile 1.2.0 leaks the vorbis_info of an Ogg file whose open fails (a stream cut inside
// its headers); the same happens from a plain C program that only calls sf_open.

#if defined(__SANITIZE_ADDRESS__)
#define BRENZO_LSAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define BRENZO_LSAN 1
#endif
#endif

#ifdef BRENZO_LSAN
extern "C" const char* __lsan_default_suppressions() { return "leak:vorbis_info_init\n"; }
#endif
