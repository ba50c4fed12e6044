#include "image/CxFile.h"

bool CxFile::PutC(unsigned char c)
{
    return Write(&c, 1, 1) == 1;
}
