#include "app/startup.h"

HFONT UiFont;
HBRUSH FaceBrush;

void CreateUiObjects(void)
{
    UiFont = CreateFontA(-13, 0, 0, 0, FW_NORMAL, 0, 0, 0, SHIFTJIS_CHARSET, OUT_STROKE_PRECIS,
                         CLIP_STROKE_PRECIS, DRAFT_QUALITY, FF_MODERN | FIXED_PITCH, "ＭＳ ゴシック");
    // A brush of the colour as it is now: the face stays put if the user
    // changes the system colours later.
    FaceBrush = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
}

void ReleaseUiObjects(void)
{
    DeleteObject(UiFont);
    DeleteObject(FaceBrush);
}

void OnDestroy(void)
{
    ReleaseUiObjects();
    PostQuitMessage(0);
}
