#pragma once

// RVX_TEST_ASAN: built with AddressSanitizer (scripts/test --sanitize), whose shadow memory and
// quarantine of freed blocks make resident-memory figures meaningless.
#if defined(__SANITIZE_ADDRESS__)
#define RVX_TEST_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define RVX_TEST_ASAN 1
#endif
#endif
