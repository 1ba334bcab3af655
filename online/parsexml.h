#pragma once
// The scanner of XML-RPC answers: plain, case-sensitive substring searches for
// "<name>N</name>" followed by a "<string>" (or "<int>") value. No XML parsing, entity
// decoding or nesting: an answer is text, and a member missing from one result takes the
// next result's value of that name. Pure functions over the answer; safe on any input.
#include <string>
#include <vector>

class SubOSItem {
  public:
    std::string SubFileName;
    std::string ISO639;
    std::string SubDownloadLink;
    // "[" + ISO639 + "] " + SubFileName
    std::string getMenuName() const;
};

class parsexml {
  public:
    std::vector<SubOSItem> items;
    std::string xml;
    std::string key;
    int cursor = 0;

    // The string value of the first member `name`, or "".
    std::string parse(const std::string& text, const std::string& name);
    // The next string value of member `name` at or after `cursor`, or "" (cursor stays).
    std::string parsethis(const std::string& name);
    // The <int> value of the first member `name` as text, or "".
    std::string parseint(const std::string& text, const std::string& name);
    // Every string value of member `name`, in order.
    void parsetolist(const std::string& text, const std::string& name,
                     std::vector<std::string>& list);
    // One result per occurrence of the movie hash: its ISO639, SubDownloadLink, SubFileName.
    void parserun(const std::string& text, const std::string& hash);
};

// The current result list of the OpenSubtitles search (the pop-up menu indexes into it).
extern parsexml parsexmlos;
