#include "mail/MimeMessage.h"

#include <gmime/gmime.h>

#include <string_view>

namespace {

// The library keeps its charset tables and type registrations for the whole
// process; they are set up once, before the first message is read.
void setUpLibraryOnce() {
    static const bool ready = [] {
        g_mime_init();
        return true;
    }();
    (void)ready;
}

// The parser's own verdicts on a multi-part message whose parts cannot be told apart.
void noteBrokenStructure(gint64, GMimeParserWarning warning, const gchar*, gpointer broken) {
    switch (warning) {
    case GMIME_CRIT_MULTIPART_WITHOUT_BOUNDARY:
    case GMIME_WARN_MALFORMED_MULTIPART:
    case GMIME_WARN_TRUNCATED_MESSAGE:
        *static_cast<bool*>(broken) = true;
        break;
    default:
        break;
    }
}

std::string withoutFinalLineBreak(const char* value) {
    std::string_view v(value ? value : "");
    if (v.size() >= 2 && v.substr(v.size() - 2) == "\r\n") v.remove_suffix(2);
    else if (!v.empty() && v.back() == '\n') v.remove_suffix(1);
    return std::string(v);
}

std::string bytesOf(GMimeStream* memory) {
    const GByteArray* array = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(memory));
    return array ? std::string(reinterpret_cast<const char*>(array->data), array->len) : std::string();
}

bool isAttachment(GMimeObject* object) {
    GMimeContentDisposition* disposition = g_mime_object_get_content_disposition(object);
    return disposition && g_mime_content_disposition_is_attachment(disposition);
}

bool isText(GMimeObject* object, const char* subtype) {
    GMimeContentType* type = g_mime_object_get_content_type(object);
    return type && g_mime_content_type_is_type(type, "text", subtype);
}

std::string_view withoutBrackets(const char* id) {
    std::string_view v(id ? id : "");
    if (v.size() >= 2 && v.front() == '<' && v.back() == '>') v = v.substr(1, v.size() - 2);
    return v;
}

// Of multipart/related only the part its "start" names (else its first)
// holds the text; the others are what that text shows.
GMimeObject* relatedStart(GMimeMultipart* related) {
    const int count = g_mime_multipart_get_count(related);
    if (count == 0) return nullptr;
    const char* start = g_mime_object_get_content_type_parameter(GMIME_OBJECT(related), "start");
    if (start) {
        for (int i = 0; i < count; ++i) {
            GMimeObject* part = g_mime_multipart_get_part(related, i);
            if (withoutBrackets(g_mime_object_get_content_id(part)) == withoutBrackets(start)) return part;
        }
    }
    return g_mime_multipart_get_part(related, 0);
}

struct TextParts {
    GMimeObject* plain = nullptr;
    GMimeObject* html = nullptr;
};

void findTextParts(GMimeObject* object, TextParts& found) {
    if (!object || found.plain || isAttachment(object)) return;
    if (GMIME_IS_MULTIPART(object)) {
        GMimeMultipart* multipart = GMIME_MULTIPART(object);
        GMimeContentType* type = g_mime_object_get_content_type(object);
        if (type && g_mime_content_type_is_type(type, "multipart", "related")) {
            findTextParts(relatedStart(multipart), found);
            return;
        }
        for (int i = 0, n = g_mime_multipart_get_count(multipart); i < n && !found.plain; ++i)
            findTextParts(g_mime_multipart_get_part(multipart, i), found);
    } else if (GMIME_IS_PART(object)) {
        if (isText(object, "plain")) found.plain = object;
        else if (isText(object, "html") && !found.html) found.html = object;
    }
}

MimeMessage::Text textOf(GMimeObject* object) {
    MimeMessage::Text text;
    if (const char* charset = g_mime_object_get_content_type_parameter(object, "charset")) text.charset = charset;
    text.html = isText(object, "html");
    GMimeStream* memory = g_mime_stream_mem_new();
    bool base64 = false;
    if (GMIME_IS_PART(object)) {
        base64 = g_mime_part_get_content_encoding(GMIME_PART(object)) == GMIME_CONTENT_ENCODING_BASE64;
        if (GMimeDataWrapper* content = g_mime_part_get_content(GMIME_PART(object)))
            g_mime_data_wrapper_write_to_stream(content, memory);
    } else {
        // A message that is one forwarded message: its text as it stands.
        g_mime_object_write_content_to_stream(object, nullptr, memory);
    }
    text.bytes = bytesOf(memory);
    g_object_unref(memory);
    // Before a closing delimiter that ends the message the parser leaves the
    // CR of the line break in the part; no text ends in a lone CR.
    if (!base64 && !text.bytes.empty() && text.bytes.back() == '\r') text.bytes.pop_back();
    return text;
}

}  // namespace

struct MimeMessage::Parsed {
    GMimeMessage* message = nullptr;
    bool broken = false;
    ~Parsed() {
        if (message) g_object_unref(message);
    }
};

MimeMessage::MimeMessage(std::string_view message) : parsed_(std::make_unique<Parsed>()) {
    setUpLibraryOnce();
    GMimeStream* stream = g_mime_stream_mem_new_with_buffer(message.data(), message.size());
    GMimeParser* parser = g_mime_parser_new_with_stream(stream);
    g_object_unref(stream);
    GMimeParserOptions* options = g_mime_parser_options_new();
    g_mime_parser_options_set_warning_callback(options, noteBrokenStructure, &parsed_->broken);
    parsed_->message = g_mime_parser_construct_message(parser, options);
    g_mime_parser_options_free(options);
    g_object_unref(parser);
}

MimeMessage::~MimeMessage() = default;

std::optional<std::string> MimeMessage::field(const char* name) const {
    if (!parsed_->message) return std::nullopt;
    GMimeHeaderList* headers = g_mime_object_get_header_list(GMIME_OBJECT(parsed_->message));
    GMimeHeader* header = headers ? g_mime_header_list_get_header(headers, name) : nullptr;
    if (!header) return std::nullopt;
    return withoutFinalLineBreak(g_mime_header_get_raw_value(header));
}

bool MimeMessage::isMultipart() const {
    return parsed_->message && GMIME_IS_MULTIPART(g_mime_message_get_mime_part(parsed_->message));
}

bool MimeMessage::isBroken() const { return isMultipart() && parsed_->broken; }

std::optional<DeliveryReport> MimeMessage::deliveryReport() const {
    if (!isMultipart()) return std::nullopt;
    GMimeObject* top = g_mime_message_get_mime_part(parsed_->message);
    GMimeContentType* type = g_mime_object_get_content_type(top);
    const char* reportType = g_mime_object_get_content_type_parameter(top, "report-type");
    if (!type || !g_mime_content_type_is_type(type, "multipart", "report") || !reportType ||
        g_ascii_strcasecmp(reportType, "delivery-status") != 0)
        return std::nullopt;
    DeliveryReport report;
    bool hasStatus = false;
    GMimeMultipart* parts = GMIME_MULTIPART(top);
    for (int i = 0, n = g_mime_multipart_get_count(parts); i < n; ++i) {
        GMimeObject* part = g_mime_multipart_get_part(parts, i);
        GMimeContentType* partType = g_mime_object_get_content_type(part);
        if (!partType) continue;
        if (g_mime_content_type_is_type(partType, "message", "delivery-status")) {
            report.status = textOf(part).bytes;
            hasStatus = true;
        } else if (g_mime_content_type_is_type(partType, "message", "rfc822") ||
                   g_mime_content_type_is_type(partType, "text", "rfc822-headers")) {
            report.returned = textOf(part).bytes;
        }
    }
    if (!hasStatus) return std::nullopt;
    return report;
}

std::optional<MimeMessage::Text> MimeMessage::text() const {
    if (!parsed_->message) return std::nullopt;
    GMimeObject* top = g_mime_message_get_mime_part(parsed_->message);
    if (!top) return Text{};
    if (!GMIME_IS_MULTIPART(top)) return textOf(top);
    TextParts found;
    findTextParts(top, found);
    if (GMimeObject* part = found.plain ? found.plain : found.html) return textOf(part);
    return std::nullopt;
}
