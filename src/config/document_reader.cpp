#include "config/document_reader.h"

#include "config/error.h"
#include "config/text.h"
#include "config/xml_parser.h"

#include <libxml/xmlmemory.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <utility>

namespace tarnwick {
namespace {

bool IsAscii(const char* text)
{
    for (; *text; ++text)
        if (static_cast<unsigned char>(*text) >= 0x80)
            return false;
    return true;
}

// Element values in GBK, with failures in the document error format.
class TreeReader {
public:
    explicit TreeReader(std::string_view source) : source_(source) {}

    void Read(xmlNodePtr root, SetupModel& model) const
    {
        ReadServers(root, model);
        ReadUrls(root, model.web);
        ReadUpdates(root, model);
    }

private:
    static bool Named(xmlNodePtr node, const char* name)
    {
        return std::strcmp(reinterpret_cast<const char*>(node->name), name) == 0;
    }

    static xmlNodePtr FirstChildNamed(xmlNodePtr parent, const char* name)
    {
        for (xmlNodePtr child = xmlFirstElementChild(parent); child; child = xmlNextElementSibling(child))
            if (Named(child, name))
                return child;
        return nullptr;
    }

    std::string Gbk(const xmlChar* utf8, xmlNodePtr where) const
    {
        const char* text = reinterpret_cast<const char*>(utf8);
        if (IsAscii(text))
            return text;
        try {
            return Utf8ToGbk(text);
        } catch (const Error&) {
            throw xml::DocumentError(UnrepresentableReason(text), source_, xmlGetLineNo(where));
        }
    }

    // Names the first character that GBK lacks, e.g. one given as "&#x1F600;".
    static std::string UnrepresentableReason(std::string_view utf8)
    {
        std::size_t i = 0;
        while (i < utf8.size()) {
            std::size_t width = 1;
            const auto lead = static_cast<unsigned char>(utf8[i]);
            if (lead >= 0xF0)
                width = 4;
            else if (lead >= 0xE0)
                width = 3;
            else if (lead >= 0xC0)
                width = 2;
            const std::string_view one = utf8.substr(i, width);
            if (!IsGbkRepresentable(one)) {
                unsigned code = width == 1 ? lead : lead & (0xFF >> (width + 1));
                for (std::size_t k = 1; k < one.size(); ++k)
                    code = (code << 6) | (static_cast<unsigned char>(one[k]) & 0x3F);
                char hex[16];
                std::snprintf(hex, sizeof hex, "U+%04X", code);
                return std::string("The document holds the character ") + hex +
                       ", which GBK cannot represent";
            }
            i += width;
        }
        return "The document holds a character that GBK cannot represent";
    }

    // An attribute that must be present; an empty one is fine.
    std::string Attribute(xmlNodePtr element, const char* name) const
    {
        for (xmlAttrPtr attr = element->properties; attr; attr = attr->next) {
            if (attr->ns != nullptr || std::strcmp(reinterpret_cast<const char*>(attr->name), name) != 0)
                continue;
            xmlNodePtr value = attr->children;
            if (value == nullptr)
                return {};
            if (value->next == nullptr && value->type == XML_TEXT_NODE)
                return Gbk(value->content, element);
            std::unique_ptr<xmlChar, decltype(xmlFree)> joined(xmlNodeListGetString(element->doc, value, 1),
                                                               xmlFree);
            return joined ? Gbk(joined.get(), element) : std::string();
        }
        throw Error("Could not convert variant of type (Null) into type (String)");
    }

    // The element's one text or CDATA node; no content reads as empty.
    std::string Text(xmlNodePtr element) const
    {
        xmlNodePtr child = element->children;
        if (child == nullptr)
            return {};
        if (child->next != nullptr || (child->type != XML_TEXT_NODE && child->type != XML_CDATA_SECTION_NODE))
            throw Error("Element does not contain a single text node");
        return Gbk(child->content, element);
    }

    static void Join(std::string& field, const std::string& value)
    {
        if (field.empty()) {
            field = value;
        } else {
            field += ';';
            field += value;
        }
    }

    void ReadServers(xmlNodePtr root, SetupModel& model) const
    {
        xmlNodePtr list = FirstChildNamed(root, "ServerList");
        if (list == nullptr)
            return;
        for (xmlNodePtr g = xmlFirstElementChild(list); g; g = xmlNextElementSibling(g)) {
            model.groups.Append({Attribute(g, "Name")});
            for (xmlNodePtr s = xmlFirstElementChild(g); s; s = xmlNextElementSibling(s)) {
                ServerEntry server;
                server.Group = Attribute(g, "Name");
                server.ShowName = Attribute(s, "Name");
                for (xmlNodePtr c = xmlFirstElementChild(s); c; c = xmlNextElementSibling(c)) {
                    Join(server.Name, Text(c));
                    Join(server.Addr, Attribute(c, "Addrs"));
                    Join(server.Port, Attribute(c, "Port"));
                }
                model.servers.Append(std::move(server));
            }
        }
    }

    void ReadUrls(xmlNodePtr root, WebAddresses& web) const
    {
        xmlNodePtr urls = FirstChildNamed(root, "Url");
        if (urls == nullptr)
            return;
        const std::pair<const char*, std::string*> fields[] = {
            {"Loginframe", &web.LoginframeUrl}, {"ContactGM", &web.GMUrl}, {"Payment", &web.PayUrl},
            {"Payment2", &web.PayUrl2},         {"Home", &web.HomeUrl},
        };
        for (const auto& [name, field] : fields) {
            xmlNodePtr element = FirstChildNamed(urls, name);
            if (element == nullptr)
                continue;
            std::string text = Text(element);
            if (!text.empty())
                *field = std::move(text);
        }
    }

    void ReadUpdates(xmlNodePtr root, SetupModel& model) const
    {
        xmlNodePtr list = FirstChildNamed(root, "UpDate");
        if (list == nullptr)
            return;
        for (xmlNodePtr e = xmlFirstElementChild(list); e; e = xmlNextElementSibling(e)) {
            UpdateEntry entry;
            entry.Hint = Text(e);
            entry.SaveDir = Attribute(e, "SDir");
            entry.SaveName = Attribute(e, "FName");
            entry.DownUrl = Attribute(e, "DUrl");
            entry.Zip = ZipWordForCode(Attribute(e, "ZIP"));
            entry.CheckType = CheckWordForCode(Attribute(e, "Check"));
            entry.DownType = DownTypeWordForCode(Attribute(e, "DType"));
            entry.Date = Attribute(e, "Date");
            entry.Ver = Attribute(e, "VAR");
            entry.MD5 = Attribute(e, "MD5");
            entry.DownMD5 = Attribute(e, "ID");
            model.updates.Append(std::move(entry));
        }
    }

    std::string_view source_;
};

} // namespace

void ReadConfigurationTree(xmlNodePtr root, std::string_view source, SetupModel& model)
{
    TreeReader(source).Read(root, model);
}

} // namespace tarnwick
