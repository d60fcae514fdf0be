// Windows brings close requests as window messages (WM_CLOSE,
// WM_QUERYENDSESSION, WM_ENDSESSION) to the window itself: no source to watch.
#include "support/CloseRequest.h"

std::unique_ptr<CloseRequestSource> CloseRequestSource::Create()
{
    return nullptr;
}
