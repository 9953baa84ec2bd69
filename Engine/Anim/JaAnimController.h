// The one animation object of an animated entity: channels that each play a
// track (cross-fading into it when started with a blend time), a mixer that
// layers the channels into one output pose, and the clients that hear every
// track event, end of play (-1) and end of a cross-fade (-2).
//
// A channel whose override flag is set hides the joints its track drives
// from every lower channel; unflagged channels add up in the mixer. The
// masks are rebuilt after every change of a channel's track.
//
// Update delivers each channel's notifications most recent first, to the
// clients in registration order. Clients may remove clients and restart
// channels from their callback: delivery goes over a snapshot of the client
// list and skips clients removed meanwhile, reads the channel's players
// afresh for every notification, and deletes blends replaced during the
// delivery only after it. A channel index beyond the channels is ignored
// with a log line.
#pragma once

#include "Engine/Anim/JaMixerPlayer.h"
#include "Engine/Core/Common/GeArray.h"
#include "Engine/Core/Common/GePoolList.h"
#include "Engine/Core/Common/GeString.h"

#include <cstdint>

class CJaAnimController;

class CJaChainCallbackClient {
public:
    // notification: a frame index whose event name player->GetEventName
    // gives, -1 the sequence ended, -2 the channel's blend ended.
    virtual void Callback(CJaSeqPlayer* player, uint32_t channel, int32_t notification) = 0;

protected:
    virtual ~CJaChainCallbackClient() = default;
};

struct CJaChannel {
    CJaSeqPlayer* player = nullptr;    // owned
    CJaBlendPlayer* blend = nullptr;   // owned; the cross-fade into the player, if any
    CJaPosePlayer* snapshot = nullptr; // owned; the pose a cross-fade starts from
    uint8_t override = 0;
};

class CJaAnimController : public CJaPlayer {
public:
    // One channel; the output pose is the identity.
    explicit CJaAnimController(uint32_t jointCount);
    ~CJaAnimController() override;

    void Update() override;
    void GetJointKey(CGeJointKey& key, uint32_t joint) const override;

    // Plays a track on a channel (null stops it): at once with a blend time
    // of exactly 0, otherwise cross-fading from the current output pose.
    void StartAseq(uint32_t channel, float blendTime, CGeJointsKeySequence* track, uint8_t override);
    // Binds a track (or none) without playing it; drops the channel's blend.
    void SetChannelSequence(uint32_t channel, CGeJointsKeySequence* track, uint8_t override);
    // Unbinds every channel but the first.
    void ClearChannels();
    // Whether some channel holds a track of that name, playing or not.
    bool IsAseqPlaying(const CGeString& name) const;
    // A client added twice is called twice; removal takes its first entry.
    void AddChainCallback(CJaChainCallbackClient* client);
    void RemoveChainCallback(CJaChainCallbackClient* client);
    // Adds an idle channel and returns its index.
    uint32_t AddChannel();

    uint32_t ChannelCount() const { return channels.Count(); }
    CJaSeqPlayer* ChannelPlayer(uint32_t channel) const
    {
        return channel < channels.Count() ? channels[channel].player : nullptr;
    }

    CJaPosePlayer output;
    CGeArray<CJaChannel> channels;
    CJaMixerPlayer* mixer = nullptr;
    CGePoolList<CJaChainCallbackClient*> clients;

private:
    bool CheckChannel(uint32_t channel, const char* operation) const;
    void RebuildMasks();
    void DropBlend(CJaChannel& channel);
    void Deliver(uint32_t channel, int32_t notification);

    uint32_t m_delivering = 0;
    CGeArray<CJaBlendPlayer*> m_retiredBlends;
    CGeArray<CJaChainCallbackClient*> m_clientSnapshot;
    CGeArray<uint8_t> m_mask;
};
