#include "online/md5.h"

md5_context::md5_context() {
    mbedtls_md5_init(&ctx);
}
md5_context::~md5_context() {
    mbedtls_md5_free(&ctx);
}

// The Mbed TLS 2.28 calls fail only on hardware-accelerated back ends, which are not built in.
void md5_starts(md5_context* context) {
    mbedtls_md5_starts_ret(&context->ctx);
}

void md5_update(md5_context* context, const unsigned char* data, size_t length) {
    mbedtls_md5_update_ret(&context->ctx, data, length);
}

void md5_finish(md5_context* context, unsigned char digest[16]) {
    mbedtls_md5_finish_ret(&context->ctx, digest);
}
