#include "tests/online/xmlcheck.h"

#include <expat.h>

#include <cstring>

namespace {
struct State {
    XmlRpcCall* call;
    std::vector<std::string> open; // element names from the root down
    std::string text;              // character data of the innermost element
    std::vector<size_t> memberAt;  // the open <member>s' places in call->members
    std::vector<size_t> paramAt;
};

void OnStart(void* user, const XML_Char* name, const XML_Char**) {
    auto* s = static_cast<State*>(user);
    s->open.push_back(name);
    s->text.clear();
    if (std::strcmp(name, "member") == 0) {
        s->memberAt.push_back(s->call->members.size());
        s->call->members.emplace_back();
    } else if (std::strcmp(name, "param") == 0) {
        s->paramAt.push_back(s->call->params.size());
        s->call->params.emplace_back();
    }
}

void OnEnd(void* user, const XML_Char* name) {
    auto* s = static_cast<State*>(user);
    std::string parent = s->open.size() >= 2 ? s->open[s->open.size() - 2] : "";
    std::string grand = s->open.size() >= 3 ? s->open[s->open.size() - 3] : "";
    if (std::strcmp(name, "methodName") == 0) {
        s->call->methodName = s->text;
    } else if (std::strcmp(name, "name") == 0 && parent == "member" && !s->memberAt.empty()) {
        s->call->members[s->memberAt.back()].first = s->text;
    } else if (std::strcmp(name, "string") == 0 && parent == "value") {
        if (grand == "member" && !s->memberAt.empty())
            s->call->members[s->memberAt.back()].second = s->text;
        else if (grand == "param" && !s->paramAt.empty())
            s->call->params[s->paramAt.back()] = s->text;
    } else if (std::strcmp(name, "member") == 0 && !s->memberAt.empty()) {
        s->memberAt.pop_back();
    } else if (std::strcmp(name, "param") == 0 && !s->paramAt.empty()) {
        s->paramAt.pop_back();
    }
    s->open.pop_back();
    s->text.clear();
}

void OnText(void* user, const XML_Char* data, int length) {
    static_cast<State*>(user)->text.append(data, size_t(length));
}
} // namespace

XmlRpcCall ParseXmlRpcCall(const std::string& body) {
    XmlRpcCall call;
    State state{&call, {}, {}, {}, {}};
    XML_Parser parser = XML_ParserCreate(nullptr);
    XML_SetUserData(parser, &state);
    XML_SetElementHandler(parser, OnStart, OnEnd);
    XML_SetCharacterDataHandler(parser, OnText);
    if (XML_Parse(parser, body.data(), int(body.size()), 1) == XML_STATUS_ERROR)
        call.error = std::string(XML_ErrorString(XML_GetErrorCode(parser))) + " at line " +
                     std::to_string(XML_GetCurrentLineNumber(parser)) + ", column " +
                     std::to_string(XML_GetCurrentColumnNumber(parser));
    XML_ParserFree(parser);
    return call;
}
