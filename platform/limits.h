#pragma once
// The sizes past which what comes from a file or a server is refused, in one place: a
// subtitle is a subtitle whether it is read from disk, unpacked or downloaded.
#include <cstddef>

// A subtitle file read, unpacked or loaded; bigger files are no subtitles (a feature film's
// SubRip is well under 1 MB).
constexpr size_t kMaxSubtitleFile = 50u * 1024 * 1024;
// The bytes of one subtitle a service sends (plain, gzip or an archive), and a whole answer of
// Napiprojekt's.
constexpr size_t kMaxSubtitleAnswer = 16u << 20;
// One answer of the OpenSubtitles.com REST API (JSON lists and links).
constexpr size_t kMaxOSRestAnswer = 4u << 20;
// A subtitle file offered for upload.
constexpr size_t kMaxUploadedSubtitle = 16u << 20;
// One answer of the OpenSubtitles XML-RPC service to a login, an upload step or a plain
// request: a few kilobytes in practice.
constexpr size_t kMaxXmlRpcAnswer = 199800;
// One XML-RPC answer to a subtitle search: a long list of proposals.
constexpr size_t kMaxXmlRpcSearchAnswer = 800000;
