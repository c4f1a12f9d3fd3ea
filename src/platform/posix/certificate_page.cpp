#include "platform/posix/certificate_page.h"

#include <string_view>

namespace zun::platform::posix {
namespace {

std::string EscapeHtml(std::string_view text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '&': escaped += "&amp;"; break;
            case '<': escaped += "&lt;"; break;
            case '>': escaped += "&gt;"; break;
            case '"': escaped += "&quot;"; break;
            case '\'': escaped += "&#39;"; break;
            case '\0': escaped += "&#xFFFD;"; break;
            default: escaped += c;
        }
    }
    return escaped;
}

void AddRow(std::string& page, const char* name, const std::string& value) {
    page += "<tr><th>";
    page += name;
    page += "</th><td>";
    page += EscapeHtml(value);
    page += "</td></tr>\n";
}

}  // namespace

std::string CertificatePage(const CertificateFields& fields) {
    std::string page =
        "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">\n"
        "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; style-src 'unsafe-inline'\">\n"
        "<title>Certificate</title>\n<style>\n"
        "body { font: 13px sans-serif; margin: 16px; }\n"
        "h1 { font-size: 16px; margin: 0 0 12px; }\n"
        "table { border-collapse: collapse; width: 100%; }\n"
        "th, td { text-align: left; vertical-align: top; padding: 4px 8px; border-bottom: 1px solid #ddd; }\n"
        "th { white-space: nowrap; width: 1%; }\n"
        "td { overflow-wrap: anywhere; }\n"
        "</style></head>\n<body>\n<h1>Certificate</h1>\n<table>\n";
    AddRow(page, "Subject", fields.subject);
    AddRow(page, "Issuer", fields.issuer);
    AddRow(page, "Valid from", fields.notBefore);
    AddRow(page, "Valid to", fields.notAfter);
    AddRow(page, "Serial number", fields.serialNumber);
    AddRow(page, "SHA-256 fingerprint", fields.sha256Fingerprint);
    page += "</table>\n</body></html>\n";
    return page;
}

}  // namespace zun::platform::posix
