#include "Render/SvgWriter.h"

#include <cmath>
#include <cstdio>
#include <ostream>

namespace Orvid::Compare {

std::string escapeText(std::string_view text) {
    // Most text, and all path data, has nothing to escape.
    if (text.find_first_of("&<>\"'") == std::string_view::npos) {
        return std::string(text);
    }
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&':
            escaped += "&amp;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        case '"':
            escaped += "&quot;";
            break;
        case '\'':
            escaped += "&#39;";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

std::string formatNumber(double value, int decimals) {
    if (!std::isfinite(value)) {
        return "0";
    }
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    std::string text(buffer);
    if (text.find('.') != std::string::npos) {
        text.erase(text.find_last_not_of('0') + 1);
        if (text.back() == '.') {
            text.pop_back();
        }
    }
    // Rounding can leave "-0", which reads as a sign error.
    return text == "-0" ? "0" : text;
}

std::string formatCount(std::uint64_t count) {
    const std::string digits = std::to_string(count);
    std::string text;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i != 0 && (digits.size() - i) % 3 == 0) {
            text += "\u202F";
        }
        text += digits[i];
    }
    return text;
}

SvgWriter::SvgWriter(std::ostream& out, std::string_view id, double width, double height,
                     std::string_view label)
    : mOut(out) {
    open("svg", {{"xmlns", "http://www.w3.org/2000/svg"},
                 {"id", std::string(id)},
                 {"width", formatNumber(width)},
                 {"height", formatNumber(height)},
                 {"viewBox", "0 0 " + formatNumber(width) + ' ' + formatNumber(height)},
                 {"role", "img"},
                 {"aria-label", std::string(label)}});
}

SvgWriter::~SvgWriter() {
    finish();
}

void SvgWriter::writeStart(std::string_view name, const Attributes& attributes) {
    mOut << '<' << name;
    for (const auto& [attribute, value] : attributes) {
        mOut << ' ' << attribute << "=\"" << escapeText(value) << '"';
    }
}

void SvgWriter::open(std::string_view name, const Attributes& attributes) {
    writeStart(name, attributes);
    mOut << ">\n";
    mOpen.emplace_back(name);
}

void SvgWriter::close() {
    if (!mOpen.empty()) {
        mOut << "</" << mOpen.back() << ">\n";
        mOpen.pop_back();
    }
}

void SvgWriter::element(std::string_view name, const Attributes& attributes) {
    writeStart(name, attributes);
    mOut << "/>\n";
}

void SvgWriter::element(std::string_view name, const Attributes& attributes, std::string_view rawAttribute,
                        const std::function<void(std::ostream&)>& writeValue) {
    writeStart(name, attributes);
    mOut << ' ' << rawAttribute << "=\"";
    writeValue(mOut);
    mOut << "\"/>\n";
}

void SvgWriter::element(std::string_view name, const Attributes& attributes, std::string_view text) {
    writeStart(name, attributes);
    mOut << '>' << escapeText(text) << "</" << name << ">\n";
}

void SvgWriter::rect(double x, double y, double width, double height, const Attributes& more,
                     std::string_view tooltip) {
    Attributes attributes{{"x", formatNumber(x)},
                          {"y", formatNumber(y)},
                          {"width", formatNumber(width)},
                          {"height", formatNumber(height)}};
    attributes.insert(attributes.end(), more.begin(), more.end());
    if (tooltip.empty()) {
        element("rect", attributes);
        return;
    }
    open("rect", attributes);
    element("title", {}, tooltip);
    close();
}

void SvgWriter::line(double x1, double y1, double x2, double y2, const Attributes& more) {
    Attributes attributes{{"x1", formatNumber(x1)},
                          {"y1", formatNumber(y1)},
                          {"x2", formatNumber(x2)},
                          {"y2", formatNumber(y2)}};
    attributes.insert(attributes.end(), more.begin(), more.end());
    element("line", attributes);
}

void SvgWriter::text(double x, double y, std::string_view text, const Attributes& more) {
    Attributes attributes{{"x", formatNumber(x)}, {"y", formatNumber(y)}};
    attributes.insert(attributes.end(), more.begin(), more.end());
    element("text", attributes, text);
}

void SvgWriter::finish() {
    while (!mOpen.empty()) {
        close();
    }
}

} // namespace Orvid::Compare
