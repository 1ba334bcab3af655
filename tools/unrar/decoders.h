#pragma once
// The ways binary/unrar gets a file's bytes out of a set, and what they share. Each writes the
// matching files to a descriptor, one after another, checks every file against what the scan
// of the headers promises, and answers an UnrarExit with the message for the user.
#include "tools/unrar/extract.h"
#include "tools/unrar/rarcrypt.h"
#include "tools/unrar/rarscan.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

struct DecodeContext {
    const ExtractRequest* request = nullptr;
    const ArchiveScan* scan = nullptr;
    int outFd = -1;
    std::string* message = nullptr;
    RarKeys* keys = nullptr; // the password's keys, when one was given
    int extracted = 0;       // files written whole
    int skipped = 0;         // files named on stderr as not extracted
};

// Stored files straight from the volumes (their bytes lie as they are, or encrypted with AES,
// which is undone here: the password goes to no other program).
int ExtractStored(DecodeContext& context);
// Compressed RAR 2.9-4.x and RAR5 files through our own decompressors, with our own decryption
// (stored files of the set as ExtractStored copies them).
int ExtractOwn(DecodeContext& context);
// Whether our own decompressors unpack this file.
bool OwnUnpacks(const ScanFile& file);
// Compressed RAR5 files through libarchive (self-extracting ones, and damaged sets).
int ExtractWithLibarchive(DecodeContext& context);
// Compressed RAR 1.5 / 2.0 files, damaged RAR 1.5-4.x sets, and files encrypted the way RAR 1.5
// and 2.0 did it, through unar (which takes the password only in its command line).
int ExtractWithUnar(DecodeContext& context);

// The decryption of an encrypted file; `hashKey` is set where its checksums are keyed.
struct Decryption {
    std::unique_ptr<CbcStream> cbc;
    const std::array<unsigned char, 32>* hashKey = nullptr;
    bool passwordChecked = false; // the archive's check value took the password
};
// Sets up the decryption of `file`, or answers why it cannot be (no password, a password the
// check value refuses): then nothing of the file has been written.
int StartDecryption(DecodeContext& context, const ScanFile& file, Decryption* decryption);
// Copies one stored file (plain, or encrypted with AES) from its pieces.
int CopyStoredFile(DecodeContext& context, const ScanFile& file, std::vector<char>& buffer);
// A piece continued in the next volume carries its own CRC (RAR 1.5-5 alike), of the bytes as
// they lie in the volume. Where an encrypted file's sums are keyed, writers differ on whether
// this one is: either form is taken. True also for pieces that carry none.
bool PieceCrcMatches(const ScanPiece& piece, uint32_t crc, const Decryption& decryption);
// The message for a whole file that fails its size or checksum (`wrong`, as FileCheck::Finish
// says it); `maybePassword`: no check value took the password, so it may be the cause.
int WholeFileFailure(DecodeContext& context, const ScanFile& file, const std::string& wrong,
                     bool maybePassword);
// Why a file's pieces stop before the file does.
int PiecesRunOut(DecodeContext& context, const ScanFile& file);
// After the last file: kUnrarOk when the walk read the whole set, else why the rest is unknown.
int ScanEndFailure(DecodeContext& context);

// Masks are matched against the whole name inside the archive; '\\' and '/' both separate.
bool MatchesMasks(const std::vector<std::string>& masks, const std::string& name);
// The scanned file of that name and place in the archive, or null.
const ScanFile* ScannedFile(const ArchiveScan& scan, size_t index, const std::string& name);
// Tells the user a file was left out (a link, an unreadable name) on stderr.
void NoteSkipped(DecodeContext& context, const std::string& name, const std::string& why);
// The message for an encrypted file that does not open: no password was given, or a wrong one
// (`certain`: the archive's check value says so; else the data may be damaged as well).
int PasswordFailure(DecodeContext& context, const std::string& name, bool certain = false);
// The message for a file that failed its check or whose data ran out, naming the volume: a
// cut volume the scan found wins over the volume holding the file's last piece.
int FileFailure(DecodeContext& context, const ScanFile* file, const std::string& name,
                const std::string& what);
