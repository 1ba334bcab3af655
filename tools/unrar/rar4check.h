#pragma once
// Checking the CRCs of stored files in RAR 1.5 - 4.x volume sets. The extraction library does
// not check stored data that spans volumes, so damaged bytes would reach the player unnoticed;
// we walk the file headers of every volume ourselves and check each piece as it streams by.
#include <cstdint>
#include <string>
#include <vector>

struct Rar4Piece {
    uint64_t size = 0; // data bytes of the file in this volume
    uint32_t crc = 0;  // CRC32 of this piece, or of the whole file in its last piece
    bool splitAfter = false;
    size_t volume = 0; // index of the volume holding it
};

struct Rar4File {
    std::string name; // as stored ('\' separators turned into '/')
    bool stored = false;
    bool directory = false;
    bool encrypted = false;
    std::vector<Rar4Piece> pieces;
};

// Lists the files of a RAR 1.5 - 4.x set, in archive order, with their pieces. False when the
// first volume is not in that format or a header cannot be read; the list is then unusable.
bool ScanRar4Volumes(const std::vector<std::string>& volumes, std::vector<Rar4File>* files);

// Follows one stored file's bytes and compares each piece's CRC when its last byte went by.
class Rar4CrcCheck {
  public:
    explicit Rar4CrcCheck(const Rar4File* file) : file_(file) {}
    // False at the first piece whose CRC does not match; `volume` is then the volume index.
    bool Feed(const char* data, size_t size, size_t* volume);
    // At the end of the file: false when a piece is still short or fails its CRC.
    bool Finish(size_t* volume);

  private:
    // Compares and leaves every piece whose bytes have all gone by (also empty ones).
    bool Settle(size_t* volume);
    const Rar4File* file_;
    size_t piece_ = 0;
    uint64_t inPiece_ = 0;
    uint32_t pieceCrc_ = 0;
    uint32_t fileCrc_ = 0;
};
