#include "vq/checkcast.h"
#include "vq/panel.h"
#include "vq/xml_resource.h"

VQ_IMPLEMENT_DYNAMIC_CLASS(vqPanelXmlHandler, vqXmlResourceHandler)

vqPanelXmlHandler::vqPanelXmlHandler() { AddWindowStyles(); }

bool vqPanelXmlHandler::CanHandle(vqXmlNode* node) { return IsOfClass(node, vqT("vqPanel")); }

vqObject* vqPanelXmlHandler::DoCreateResource() {
    vqPanel* panel = vqStaticCast<vqPanel>(m_instance);
    if (!panel) panel = new vqPanel;
    panel->Create(m_parentAsWindow, GetID(), GetPosition(), GetSize(),
                  GetStyle(vqT("style"), vqTAB_TRAVERSAL), GetName());
    SetupWindow(panel);
    CreateChildren(panel);
    return panel;
}
