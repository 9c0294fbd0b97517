#include "win/theme.h"

namespace {

constexpr color_t grey(float level) {
    return {level, level, level};
}

// The light look's greys: white, light, pale, mid, dark, black.
const palette_t light{
    theme_kind_t::light,
    grey(1.0f),
    {grey(1.0f), grey(1.0f), grey(1.0f), grey(1.0f), grey(0.0f), grey(1.0f)},
    {grey(0.9f), grey(0.95f), grey(0.7f), grey(0.9f), grey(0.0f), grey(1.0f)},
    {grey(0.7f), grey(0.9f), grey(0.5f), grey(1.0f), grey(0.0f), grey(1.0f)},
    grey(0.5f),
    grey(0.9f),
    RGB(0, 0, 0),
    RGB(255, 255, 255),
};

// The same shapes at night: a near-black ground, rows raised by lighter fills and lit the
// same way (top and left lighter, bottom darker), light ink throughout.
palette_t dark_palette() {
    const color_t ground = grey(0.125f), ink = grey(0.9f);
    return {
        theme_kind_t::dark,
        ground,
        {ground, ground, ground, ground, ink, ground},
        {grey(0.25f), grey(0.32f), grey(0.17f), grey(0.25f), ink, ground},
        {grey(0.38f), grey(0.46f), grey(0.2f), ground, ink, ground},
        grey(0.55f),
        grey(0.25f),
        to_colorref(ink),
        to_colorref(ground),
    };
}

// Only the system's colours, flat: the current row takes the selection's, a pinned one the
// buttons' face with a text-coloured edge, so both stay told apart where the face is the
// window's colour.
palette_t high_contrast_palette(const system_colours_t& s) {
    const color_t window = to_color(s.window), text = to_color(s.window_text);
    const color_t selected = to_color(s.highlight), face = to_color(s.button_face);
    return {
        theme_kind_t::high_contrast,
        window,
        {window, window, window, window, text, window},
        {selected, selected, selected, selected, to_color(s.highlight_text), selected},
        {face, face, text, window, text, face},
        to_color(s.gray_text),
        text,
        s.window_text,
        s.window,
    };
}

// Whether apps are asked to use the dark theme; absent (older systems, Wine's default
// prefix) means light.
bool apps_use_dark() {
    DWORD light_theme = 1, size = sizeof light_theme;
    const LSTATUS read = RegGetValueW(
        HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize",
        L"AppsUseLightTheme", RRF_RT_REG_DWORD, nullptr, &light_theme, &size);
    return read == ERROR_SUCCESS && light_theme == 0;
}

} // namespace

COLORREF to_colorref(color_t c) {
    // As a fill paints it: the high byte of the 16-bit channel.
    return RGB(channel16(c.r) >> 8, channel16(c.g) >> 8, channel16(c.b) >> 8);
}

color_t to_color(COLORREF c) {
    return {GetRValue(c) / 255.0f, GetGValue(c) / 255.0f, GetBValue(c) / 255.0f};
}

theme_t read_theme() {
    theme_t theme;
    HIGHCONTRASTW contrast{sizeof contrast, 0, nullptr};
    if (SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) &&
        (contrast.dwFlags & HCF_HIGHCONTRASTON))
        theme.kind = theme_kind_t::high_contrast;
    else if (apps_use_dark())
        theme.kind = theme_kind_t::dark;
    theme.system = {GetSysColor(COLOR_WINDOW),    GetSysColor(COLOR_WINDOWTEXT),
                    GetSysColor(COLOR_HIGHLIGHT), GetSysColor(COLOR_HIGHLIGHTTEXT),
                    GetSysColor(COLOR_BTNFACE),   GetSysColor(COLOR_GRAYTEXT)};
    return theme;
}

void box_colours_t::use(const palette_t& palette) {
    text = palette.text;
    back = palette.text_ground;
    ground.reset(palette.kind == theme_kind_t::light ? nullptr : CreateSolidBrush(back));
}

LRESULT box_colours_t::answer(HDC dc) const {
    if (!ground) return 0;
    SetTextColor(dc, text);
    SetBkColor(dc, back);
    return reinterpret_cast<LRESULT>(ground.get());
}

const palette_t& light_palette() {
    return light;
}

palette_t palette_of(const theme_t& theme) {
    switch (theme.kind) {
    case theme_kind_t::dark:
        return dark_palette();
    case theme_kind_t::high_contrast:
        return high_contrast_palette(theme.system);
    case theme_kind_t::light:
        break;
    }
    return light;
}
