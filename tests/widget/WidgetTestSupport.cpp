#include "WidgetTestSupport.h"

#include "quorlix/script/ClassTable.h"
#include "quorlix/widget/WidgetClassIndex.h"

using namespace Quorlix;

namespace QuorlixTest {

void EventRecorder::OnMessage(Widget& source, uint32_t message, uint32_t userValue,
                              const StringRef& command) {
    m_Heard.push_back(std::string(source.GetNameCPtr()) + ":" + EventName(message));
    m_LastUserValue = userValue;
    m_LastCommand = command.GetCPtr();
}

std::string EventName(uint32_t event) {
    if (event >= 1 && event <= WEvent::k_TypeCount)
        return IsTableOf(k_ClassWEventTypeEnum)[event].m_Name;
    return std::to_string(event);
}

void Watch(Widget& w, EventRecorder& recorder) {
    for (uint32_t e = 1; e <= WEvent::k_TypeCount; ++e)
        w.m_EventHandlerArray.Add(Obj<ScriptObject>(Handler(e, e, &recorder).Get()));
}

Obj<WEventHandler> Handler(uint32_t handle, uint32_t message, ScriptObject* destination,
                           uint32_t userValue) {
    Obj<WEventHandler> h = WEventHandler::Create();
    h->m_Handle = static_cast<WEvent::Type>(handle);
    h->m_Message = static_cast<WEvent::Type>(message);
    h->SetDestination(destination);
    h->m_UserValue = userValue;
    return h;
}

} // namespace QuorlixTest
