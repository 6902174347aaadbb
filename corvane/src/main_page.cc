#include "main_page.h"

#include "main_page_activation.h"

namespace Corvane {

MainPage::MainPage() {}

Platform::ObjectRef ActivateMainPage() { return Platform::ref_new<MainPage>(); }

}  // namespace Corvane
