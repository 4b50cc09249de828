#include "vq/image.h"

#include <unistd.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "vq/log.h"

namespace {

std::vector<std::unique_ptr<vqImageHandler>>& Handlers() {
    static std::vector<std::unique_ptr<vqImageHandler>> handlers;
    return handlers;
}

}  // namespace

vqImageHandler::~vqImageHandler() {}

bool vqImageHandler::SaveStream(const vqBitmap&, vqFileOutputStream&, const vqString& fileName) {
    vqLogError(vqT("Cannot write '%s': the %s handler writes only to named files."),
               fileName.c_str(), m_name.c_str());
    return false;
}

void vqImage::AddHandler(vqImageHandler* handler) {
    if (!handler) return;
    if (FindHandler(handler->GetType())) {
        delete handler;
        return;
    }
    Handlers().emplace_back(handler);
}

vqImageHandler* vqImage::FindHandler(int type) {
    for (auto& h : Handlers())
        if (h->GetType() == type) return h.get();
    return nullptr;
}

vqImageHandler* vqImage::FindHandlerForFile(const vqString& fileName) {
    unsigned char header[16] = {0};
    size_t n = 0;
    // Sniff regular files only: a FIFO or device would block or never end.
    int fd = vqFile::OpenRegular(fileName, nullptr, nullptr);
    if (fd >= 0) {
        ssize_t got = ::read(fd, header, sizeof header);
        n = got > 0 ? static_cast<size_t>(got) : 0;
        ::close(fd);
    }
    for (auto& h : Handlers())
        if (h->CanRead(header, n)) return h.get();
    return nullptr;
}

size_t vqImage::GetHandlerCount() { return Handlers().size(); }

void vqImage::CleanUpHandlers() { Handlers().clear(); }

bool vqBitmap::SaveFile(const vqString& name, int type) const {
    vqImageHandler* handler = vqImage::FindHandler(type);
    if (!handler) {
        vqLogError(vqT("No image handler for type %d to save '%s'."), type, name.c_str());
        return false;
    }
    return handler->SaveFile(*this, name);
}

bool vqBitmap::SaveFile(vqFileOutputStream& stream, const vqString& name, int type) const {
    vqImageHandler* handler = vqImage::FindHandler(type);
    if (!handler) {
        vqLogError(vqT("No image handler for type %d to save '%s'."), type, name.c_str());
        return false;
    }
    return handler->SaveStream(*this, stream, name);
}

bool vqBitmap::LoadFile(const vqString& name, int type) {
    vqImageHandler* handler =
        type == vqBITMAP_TYPE_ANY ? vqImage::FindHandlerForFile(name) : vqImage::FindHandler(type);
    if (!handler) {
        vqLogError(vqT("No image handler to load '%s'."), name.c_str());
        return false;
    }
    return handler->LoadFile(this, name);
}
