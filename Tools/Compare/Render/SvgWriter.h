#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace Orvid::Compare {

/// `text` with the characters that HTML and SVG markup reserve (& < > " ') replaced by character
/// references, so that it can stand as element text or as a quoted attribute value.
std::string escapeText(std::string_view text);

/// `value` in plain decimal notation with at most `decimals` decimals and no trailing zeros ("12.5",
/// "3", "-0.25"), as drawings want their coordinates; a NaN or infinity gives "0".
std::string formatNumber(double value, int decimals = 2);

/// `count` with its digits in groups of three, separated by narrow no-break spaces ("1 048 576"), for
/// reading.
std::string formatCount(std::uint64_t count);

/// Writes one <svg> element to a stream: nested elements with escaped attribute values and text, closed
/// in order.
class SvgWriter {
public:
    /// Names and values of an element's attributes, in writing order; the values are escaped.
    using Attributes = std::vector<std::pair<std::string_view, std::string>>;

    /// Opens <svg id="`id`"> of `width` x `height` pixels, with `label` as its accessible name.
    SvgWriter(std::ostream& out, std::string_view id, double width, double height, std::string_view label);
    SvgWriter(const SvgWriter&) = delete;
    SvgWriter& operator=(const SvgWriter&) = delete;
    /// Closes what is still open, if `finish()` was not called.
    ~SvgWriter();

    /// Opens an element that holds others, until the matching `close()`.
    void open(std::string_view name, const Attributes& attributes = {});
    void close();
    /// An element without content.
    void element(std::string_view name, const Attributes& attributes);
    /// An element without content whose last attribute, `rawAttribute`, has its value written by
    /// `writeValue` straight to the stream, unescaped: for long values that need no escaping, such as
    /// path data.
    void element(std::string_view name, const Attributes& attributes, std::string_view rawAttribute,
                 const std::function<void(std::ostream&)>& writeValue);
    /// An element holding `text`.
    void element(std::string_view name, const Attributes& attributes, std::string_view text);

    /// The common shapes, in pixels, with further attributes after the geometric ones. A rectangle's
    /// `tooltip`, when not empty, is shown on hovering it.
    void rect(double x, double y, double width, double height, const Attributes& more = {},
              std::string_view tooltip = {});
    void line(double x1, double y1, double x2, double y2, const Attributes& more = {});
    void text(double x, double y, std::string_view text, const Attributes& more = {});

    /// Closes every element still open, <svg> last.
    void finish();

private:
    void writeStart(std::string_view name, const Attributes& attributes);

    std::ostream& mOut;
    std::vector<std::string> mOpen;
};

} // namespace Orvid::Compare
