#include "SubBase.h"

bool CSubBase::GetLineImage(int lineIndex, SLineRequest& request)
{
    request.image = QImage();
    if (lineIndex < 0 || static_cast<std::size_t>(lineIndex) >= lines.size())
        return false;
    // Picture lines are loaded by the sources that support them.
    return false;
}
