// The messages of the Grok console's failures.
#include "core/voice/GrokSpeakError.h"

#include "core/ui/AppStrings.h"

namespace veska {

GrokSpeakError GrokSpeakError::rateLimited() {
    return failed(AppStrings::pick("Grok đang giới hạn — thử lại sau", "Grok is rate-limiting — try later"));
}

}  // namespace veska
