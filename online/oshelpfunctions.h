#pragma once
// The state of the OpenSubtitles XML-RPC conversation and its request templates. Each
// template is one line of XML with $name$ placeholders; fill() puts in the fields of the
// object, first occurrence of each only, each value as XML text: a password with "&" or a
// movie named "Tom & Jerry <1>.avi" makes a well-formed request, and no name can add
// elements to it. The login is here; the upload adds its templates and steps beside it.
#include <string>
#include <vector>

// XML-RPC request templates, named after their methods.
extern const char* const _LogIn;

class OShelpFunctions {
  public:
    std::string subtitleHash;
    std::string sampleHash;
    std::vector<std::string> imdbIds;
    std::vector<std::string> imdbTitles;
    std::string pass;
    std::string login;
    std::string token;
    std::string subcontent;
    std::string subhash;
    std::string moviefilename;
    std::string moviefps;
    std::string movieframes;
    std::string idmovieimdb;
    std::string moviehash;
    std::string sublanguageid;
    std::string subauthorcomment;
    std::string movietimems;
    std::string moviebytesize;
    std::string subfilename;
    std::string text;

    // Replaces in `text` the first occurrence of each placeholder by its field, as XML text;
    // returns it.
    std::string fill(std::string& text);
    // Replaces the first occurrence of `placeholder` in `text` by `value`.
    static void replaceone(std::string& text, const std::string& placeholder,
                           const std::string& value);
    // The LogIn request with `login` and `pass`.
    std::string getLogin();
    // Every "id" into imdbIds and every "title" into imdbTitles; both emptied when their
    // counts differ.
    void parseSerchOnIMDB(const std::string& answer);
};

// `value` as XML character data: & < > " ' as entities, CR as a reference, and what XML 1.0
// cannot carry (other control characters, bytes that are no UTF-8) as U+FFFD.
std::string XmlText(const std::string& value);

// The conversation's state: login, token and what the last upload computed.
extern OShelpFunctions OS;
