// Drawing previews: the drawing is turned into a slide by the slide writer
// and the slide painted into a bitmap, so previews and slide previews look
// alike.
#include "components/NorvexGloFunc.h"
#include "components/NorvexSldManger.h"
#include "components/slide/SlideWriter.h"

#include "host/dbmain.h"

CBitmap* GetBitmapFromDwgFile(const ACHAR* path, int width, int height)
{
    if (!path || width < 1 || height < 1)
        return nullptr;
    AcDbDatabase db(false, true);
    if (db.readDwgFile(path) != Acad::eOk)
        return nullptr;
    ctrlsch::slide::SlideWriter writer(width, height);
    ctrlsch::slide::addDatabaseToSlide(db, writer);
    if (writer.empty())
        return nullptr;
    auto* bitmap = new CBitmap;
    bitmap->CreateBitmap(width, height);
    CDC dc;
    dc.CreateCompatibleDC(nullptr);
    CBitmap* old = dc.SelectObject(bitmap);
    ctrlsch::slide::drawSlide(dc, writer.slide(), 0, 0, width, height);
    dc.SelectObject(old);
    return bitmap;
}
