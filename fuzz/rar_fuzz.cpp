// libFuzzer target: the RAR reader over volume files built from the fuzzer's bytes.
// The first byte picks how many volumes (1 to 3) the rest is cut into; the set is opened with
// raropen and read across its volumes, at its ends and at a position taken from the input.
#include "platform/windowport.h"
#include "rar/rar5header.h"
#include "rar/rarheader.h"
#include "rar/rarvolumeset.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {
// Message boxes would flood the output; the fuzzer only cares that nothing breaks.
class SilentPort : public WindowPort {
  public:
    void SetTitle(const std::string&) override {}
    void SetSliderRange(int, int, int) override {}
    void SetSliderPos(int, int) override {}
    void SetSliderPageSize(int, int) override {}
    void ShowControl(int, bool) override {}
    void ResizeMainWindow(int, int) override {}
    int MessageBox(const std::string&, const std::string&, int) override { return IDOK_; }
    void SetMenuItemText(int, const std::string&) override {}
    void PostToUi(std::function<void()>) override {}
};

std::string Folder() {
    static std::string folder = [] {
        std::string pattern = "/dev/shm/quorvan-rarfuzz-XXXXXX";
        if (access("/dev/shm", W_OK) != 0)
            pattern = "/tmp/quorvan-rarfuzz-XXXXXX";
        std::vector<char> buf(pattern.begin(), pattern.end());
        buf.push_back(0);
        return std::string(mkdtemp(buf.data()));
    }();
    return folder;
}

void Write(const std::string& path, const uint8_t* data, size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr)
        std::abort();
    if (size > 0 && std::fwrite(data, 1, size, f) != size)
        std::abort();
    std::fclose(f);
}

void ReadAt(RarVolumeSet& set, int64_t pos, int len) {
    std::vector<char> buf(size_t(len > 0 ? len : 1));
    set.rarread(buf.data(), pos, len);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static SilentPort port;
    SetWindowPort(&port);
    static const bool quiet = [] { return std::freopen("/dev/null", "w", stdout) != nullptr; }();
    (void)quiet;

    ParseRarGeometry(data, size);
    ParseRar5Volume(data, size);
    if (size < 1)
        return 0;
    int volumes = 1 + data[0] % 3;
    const uint8_t* rest = data + 1;
    size_t restSize = size - 1;
    const std::string base = Folder() + "/f";
    const std::string names[3] = {base + ".rar", base + ".r00", base + ".r01"};
    size_t piece = volumes > 1 ? restSize / size_t(volumes) : restSize;
    for (int k = 0; k < 3; ++k) {
        if (k < volumes) {
            size_t from = size_t(k) * piece;
            size_t len = k == volumes - 1 ? restSize - from : piece;
            Write(names[k], rest + from, len);
        } else {
            unlink(names[k].c_str());
        }
    }

    RarVolumeSet set;
    if (!set.OpenSet(names[0]))
        return 0;
    int64_t share = set.volumeDataSize;
    int64_t total = int64_t(set.unpackedSize > uint64_t(INT64_MAX) ? INT64_MAX : set.unpackedSize);
    ReadAt(set, 0, 64);
    ReadAt(set, share - 8, 20);
    ReadAt(set, total > 16 ? total - 16 : 0, 32);
    uint64_t tail = 0;
    std::memcpy(&tail, data + size - std::min<size_t>(size, 8), std::min<size_t>(size, 8));
    ReadAt(set, int64_t(tail >> 1), int(tail % 4096));
    set.rarseek(int64_t(tail % 100000));
    char word[8];
    for (int i = 0; i < 16; ++i)
        set.rarreadnic(word, 8);
    return 0;
}
