// libFuzzer target: the bitmap files the thumbnail window opens (header fields, the top row
// the layout marks are read from, the frame list rebuilt from them) and the image host's
// answers and profile files.
#include "thumbs/dibfile.h"
#include "thumbs/thumbmenu.h"
#include "thumbs/upload.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    DibFields fields = ParseDibFields(data, size);
    if (fields.ok) {
        DibImage image;
        image.bytes.assign(data, data + size);
        SheetMarks marks = ReadLayoutMarks(&image);
        if (fields.width < 100000 && fields.height < 100000)
            RebuildFrameList(getDBIx(&image), getDBIy(&image), marks, 5400);
        DibTopRowBlue(&image, fields.width - 1);
    }
    std::string text(reinterpret_cast<const char*>(data), size);
    AnswerLink(text);
    ParseImageHostProfile(text);
    return 0;
}
