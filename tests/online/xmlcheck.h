#pragma once
// What a real XML parser (expat) makes of a request body: the fake XML-RPC servers refuse
// anything that is not well-formed, and tests read values back as a server would, entities
// decoded.
#include <string>
#include <vector>

struct XmlRpcCall {
    std::string error; // "" when the body is well-formed XML
    std::string methodName;
    // Each <param>'s <string> text (decoded), "" for a param of another kind.
    std::vector<std::string> params;
    // Each <member> in document order: its name and its <string> text ("" for a struct).
    std::vector<std::pair<std::string, std::string>> members;
};

XmlRpcCall ParseXmlRpcCall(const std::string& body);
