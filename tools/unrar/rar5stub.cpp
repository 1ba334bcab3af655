// Temporary, on the development branch only: replaced by the real decompressor.
#include "tools/unrar/unpack.h"

namespace {
class NotYet : public Unpacker {
  public:
    bool Unpack(PackedSource&, uint64_t, bool, const UnpackSink&, std::string* error) override {
        *error = "this decompressor is not built yet";
        return false;
    }
};
} // namespace

std::unique_ptr<Unpacker> MakeRar5Unpacker(size_t) {
    return std::make_unique<NotYet>();
}
