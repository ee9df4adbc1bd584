// A DirectDraw surface for tests that stands in for a real one: every call goes through to the
// surface it wraps, except that IsLost and Restore follow a script, so that a test can make the
// driver find its primary surface lost and see what it does about it.
#pragma once

#include <windows.h>

#include <ddraw.h>

#include <atomic>
#include <deque>

namespace drivertest {

class ScriptedSurface : public IDirectDrawSurface {
  public:
    // How many IsLost calls answer DDERR_SURFACELOST before the wrapped surface answers, and what
    // the Restore calls answer, in order (after that the wrapped surface answers).
    ScriptedSurface(int lost_answers, std::deque<HRESULT> restores)
        : lost_answers_(lost_answers), restores_(std::move(restores)) {}
    ScriptedSurface(const ScriptedSurface&) = delete;
    ScriptedSurface& operator=(const ScriptedSurface&) = delete;

    // Takes over a reference to the surface to wrap; the driver holds the one reference to this.
    void wrap(IDirectDrawSurface* real) { real_ = real; }
    int restore_calls() const { return restore_calls_; }
    // The surface is back: IsLost hands over to the wrapped surface.
    void found() { lost_answers_ = 0; }
    // The driver has let go of this surface, and this of the wrapped one.
    bool released() const { return references_ == 0 && !real_; }

    STDMETHOD(QueryInterface)(REFIID riid, void** object) override {
        return real_->QueryInterface(riid, object);
    }
    STDMETHOD_(ULONG, AddRef)() override { return ++references_; }
    STDMETHOD_(ULONG, Release)() override {
        if (--references_ == 0 && real_) {
            real_->Release();
            real_ = nullptr;
        }
        return references_;
    }
    STDMETHOD(IsLost)() override {
        if (lost_answers_ > 0) {
            --lost_answers_;
            return DDERR_SURFACELOST;
        }
        return real_->IsLost();
    }
    STDMETHOD(Restore)() override {
        ++restore_calls_;
        // Past the script, a surface still lost stays lost: another program holds the display.
        if (restores_.empty()) return lost_answers_ > 0 ? DDERR_NOEXCLUSIVEMODE : real_->Restore();
        const HRESULT result = restores_.front();
        restores_.pop_front();
        return result;
    }

    // Straight through.
    STDMETHOD(AddAttachedSurface)(LPDIRECTDRAWSURFACE a) override {
        return real_->AddAttachedSurface(a);
    }
    STDMETHOD(AddOverlayDirtyRect)(LPRECT a) override { return real_->AddOverlayDirtyRect(a); }
    // A lost surface refuses to be drawn to or locked.
    STDMETHOD(Blt)(LPRECT a, LPDIRECTDRAWSURFACE b, LPRECT c, DWORD d, LPDDBLTFX e) override {
        if (lost_answers_ > 0) return DDERR_SURFACELOST;
        return real_->Blt(a, b, c, d, e);
    }
    STDMETHOD(BltBatch)(LPDDBLTBATCH a, DWORD b, DWORD c) override {
        return real_->BltBatch(a, b, c);
    }
    STDMETHOD(BltFast)(DWORD a, DWORD b, LPDIRECTDRAWSURFACE c, LPRECT d, DWORD e) override {
        return real_->BltFast(a, b, c, d, e);
    }
    STDMETHOD(DeleteAttachedSurface)(DWORD a, LPDIRECTDRAWSURFACE b) override {
        return real_->DeleteAttachedSurface(a, b);
    }
    STDMETHOD(EnumAttachedSurfaces)(LPVOID a, LPDDENUMSURFACESCALLBACK b) override {
        return real_->EnumAttachedSurfaces(a, b);
    }
    STDMETHOD(EnumOverlayZOrders)(DWORD a, LPVOID b, LPDDENUMSURFACESCALLBACK c) override {
        return real_->EnumOverlayZOrders(a, b, c);
    }
    STDMETHOD(Flip)(LPDIRECTDRAWSURFACE a, DWORD b) override { return real_->Flip(a, b); }
    STDMETHOD(GetAttachedSurface)(LPDDSCAPS a, LPDIRECTDRAWSURFACE* b) override {
        return real_->GetAttachedSurface(a, b);
    }
    STDMETHOD(GetBltStatus)(DWORD a) override { return real_->GetBltStatus(a); }
    STDMETHOD(GetCaps)(LPDDSCAPS a) override { return real_->GetCaps(a); }
    STDMETHOD(GetClipper)(LPDIRECTDRAWCLIPPER* a) override { return real_->GetClipper(a); }
    STDMETHOD(GetColorKey)(DWORD a, LPDDCOLORKEY b) override { return real_->GetColorKey(a, b); }
    STDMETHOD(GetDC)(HDC* a) override { return real_->GetDC(a); }
    STDMETHOD(GetFlipStatus)(DWORD a) override { return real_->GetFlipStatus(a); }
    STDMETHOD(GetOverlayPosition)(LPLONG a, LPLONG b) override {
        return real_->GetOverlayPosition(a, b);
    }
    STDMETHOD(GetPalette)(LPDIRECTDRAWPALETTE* a) override { return real_->GetPalette(a); }
    STDMETHOD(GetPixelFormat)(LPDDPIXELFORMAT a) override { return real_->GetPixelFormat(a); }
    STDMETHOD(GetSurfaceDesc)(LPDDSURFACEDESC a) override { return real_->GetSurfaceDesc(a); }
    STDMETHOD(Initialize)(LPDIRECTDRAW a, LPDDSURFACEDESC b) override {
        return real_->Initialize(a, b);
    }
    STDMETHOD(Lock)(LPRECT a, LPDDSURFACEDESC b, DWORD c, HANDLE d) override {
        if (lost_answers_ > 0) return DDERR_SURFACELOST;
        return real_->Lock(a, b, c, d);
    }
    STDMETHOD(ReleaseDC)(HDC a) override { return real_->ReleaseDC(a); }
    STDMETHOD(SetClipper)(LPDIRECTDRAWCLIPPER a) override { return real_->SetClipper(a); }
    STDMETHOD(SetColorKey)(DWORD a, LPDDCOLORKEY b) override { return real_->SetColorKey(a, b); }
    STDMETHOD(SetOverlayPosition)(LONG a, LONG b) override {
        return real_->SetOverlayPosition(a, b);
    }
    STDMETHOD(SetPalette)(LPDIRECTDRAWPALETTE a) override { return real_->SetPalette(a); }
    STDMETHOD(Unlock)(LPVOID a) override { return real_->Unlock(a); }
    STDMETHOD(UpdateOverlay)(LPRECT a, LPDIRECTDRAWSURFACE b, LPRECT c, DWORD d,
                             LPDDOVERLAYFX e) override {
        return real_->UpdateOverlay(a, b, c, d, e);
    }
    STDMETHOD(UpdateOverlayDisplay)(DWORD a) override { return real_->UpdateOverlayDisplay(a); }
    STDMETHOD(UpdateOverlayZOrder)(DWORD a, LPDIRECTDRAWSURFACE b) override {
        return real_->UpdateOverlayZOrder(a, b);
    }

  private:
    IDirectDrawSurface* real_ = nullptr;
    ULONG references_ = 1;
    // Read on the driver thread.
    std::atomic<int> lost_answers_;
    std::deque<HRESULT> restores_;
    std::atomic<int> restore_calls_ = 0;
};

} // namespace drivertest
