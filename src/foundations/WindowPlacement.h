#pragma once
// Window placement: one text per window in settings section "Windows", keyed by the
// window's objectName: width "x" height "+" left "+" top in pixels, "MAXIMIZEDx" for a
// maximised window, the empty text for a minimised one, optionally ";" and a flag.
// Defaults come from ORVID.DEF next to the program, by screen class and font size.
// An MDI child is placed through its QMdiSubWindow; a top-level window directly.

#include <QString>
#include <cstdint>
#include <optional>

class QWidget;

namespace orvid {

struct AppContext;

// A placement text taken apart as far as it parses. Missing numbers count as 0; a number
// that does not fit 16 bits ends the parse (geometryValid stays false, nothing is applied).
struct ParsedPlacement {
    bool maximized = false;
    bool geometryValid = false; // width, height, left and top were all read
    int16_t width = 0;
    int16_t height = 0;
    int16_t left = 0;
    int16_t top = 0;
    bool flag = false;          // the text after ";" has a non-zero leading number
};
ParsedPlacement ParsePlacement(const QString& text);

// The stored text of a placement: "MAXIMIZEDx", the empty text for a minimised window, or
// width "x" height "+" left "+" top; a flag is appended as ";" flag to a non-empty text.
QString FormatPlacement(bool maximized, bool minimized, int width, int height, int left,
                        int top, std::optional<int16_t> flag);

class WindowPlacement {
public:
    explicit WindowPlacement(AppContext& ctx);

    void SaveWindowPos(QWidget* window, std::optional<int16_t> flag = std::nullopt);
    // True when the stored flag is non-zero; fromDefault tells whether the layout file
    // was used. A place never sizes the window below its minimum size hint. Without a flag
    // an MDI child stored out of sight is moved back into its MDI area.
    bool RestoreWindowPos(QWidget* window, bool resize = true, bool* fromDefault = nullptr);
    void LoadDefaultWindowPos(QWidget* window, const QString& windowName, bool apply);
    void CenterForm(QWidget* window);

    // The ORVID.DEF section for a screen width and status-label height.
    static QString ScreenClass(int screenWidthPx, int portLabelHeightPx);
    // The widget that is actually placed: the QMdiSubWindow around an MDI child, else the
    // window itself.
    static QWidget* Container(QWidget* window);

private:
    // Applies a placement text (as stored) to the window; returns its flag.
    bool applyPlacement(QWidget* window, const QString& text, bool resize);

    AppContext& ctx_;
};

} // namespace orvid
