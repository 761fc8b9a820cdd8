#include "guisupport.h"

#include "ask.h"
#include "thinclientinfo.h"

namespace rvx::test {

void initGuiEnvironment()
{
    initEnvironment();
    Ask::setTestMode(true);
    ThinclientInfo::setVersionNotifier(
        [](const QString& title, const QString& text) { Ask::critical(nullptr, title, text); });
}

} // namespace rvx::test
