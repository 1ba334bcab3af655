#pragma once
// MD5 (RFC 1321) with the start / feed / finish interface the fingerprints use, over Mbed TLS.
#include <cstddef>
#include <mbedtls/md5.h>

struct md5_context {
    md5_context();
    ~md5_context();
    md5_context(const md5_context&) = delete;
    md5_context& operator=(const md5_context&) = delete;
    mbedtls_md5_context ctx;
};

void md5_starts(md5_context* context);
void md5_update(md5_context* context, const unsigned char* data, size_t length);
void md5_finish(md5_context* context, unsigned char digest[16]);
