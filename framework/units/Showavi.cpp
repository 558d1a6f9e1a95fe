#include "units/Showavi.h"

#include "forms/Application.h"
#include "units/ProgressAnimation.h"

namespace vol {

void ActiveShowAvi(ProgressKind kind, const std::string& caption) {
    Application::instance().ui().showProgress(kind, caption);
}

void DeactiveShowAvi() { Application::instance().ui().hideProgress(); }

ProgressAnimation::ProgressAnimation(ProgressKind kind, const std::string& caption) {
    ActiveShowAvi(kind, caption);
}

ProgressAnimation::~ProgressAnimation() { DeactiveShowAvi(); }

}  // namespace vol
