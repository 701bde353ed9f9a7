#include "AudioPage.h"

namespace qvc {

AudioPage::AudioPage(PageContext context, QWidget* parent)
    : Page(std::move(context), QStringLiteral("AudioTabSheet"), QStringLiteral("Audio Controls"), parent) {}

} // namespace qvc
