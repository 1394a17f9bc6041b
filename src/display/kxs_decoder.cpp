#include "display/kxs_decoder.h"

#include "controller/controller_families.h"
#include "display/display_constants.h"
#include "proto/proto_constants.h"

namespace kx7 {

void KxsDecoder::Reset() {
  state_ = State::kIdle;
  character_ = ' ';
  button_ = secondFlag_ = alternate_ = false;
  xLow_ = xHigh_ = yLow_ = yHigh_ = zLow_ = 0;
  skipLeft_ = alternateCount_ = 0;
}

void KxsDecoder::AppendPoint(TextBuilder& text, const DecoderSettings& settings) const {
  text.Char(character_).Char(' ');
  if (settings.fullResolution) {
    text.Decimal(xHigh_ * 128 + xLow_, 5).Char(',').Decimal(yHigh_ * 128 + yLow_, 5);
  } else {
    text.Decimal(xHigh_ * 16 + (xLow_ >> 3), 4).Char(',').Decimal(yHigh_ * 16 + (yLow_ >> 3), 4);
  }
}

void KxsDecoder::Decode(std::uint8_t byte, const DecoderSettings& settings) {
  if (byte & kReportStartBit) {
    // A status byte starts a report in any state, also in the middle of another one.
    const bool touching = (byte & kxs::kTouchBit) != 0;
    character_ = touching ? (context_.touchDown ? '.' : 'D') : (context_.touchDown ? 'U' : ' ');
    button_ = (byte & kxs::kButtonBit) != 0;
    secondFlag_ = (byte & kxs::kSecondFlagBit) != 0;
    context_.touchDown = touching;
    state_ = State::kXLow;
    return;
  }
  switch (state_) {
    case State::kIdle:
      Idle(byte, settings);
      break;
    case State::kXLow:
      xLow_ = byte;
      state_ = State::kXHigh;
      break;
    case State::kXHigh:
      xHigh_ = byte;
      state_ = State::kYLow;
      break;
    case State::kYLow:
      yLow_ = byte;
      state_ = State::kYHigh;
      break;
    case State::kYHigh:
      yHigh_ = byte;
      AfterY(settings);
      break;
    case State::kExtra: {
      if (settings.multiTouch) {
        TextBuilder text;
        AppendPoint(text, settings);
        text.Char(' ').Decimal(byte, 3);
        context_.sink.AppendText(text.View(), TextKind::kDecoded);
        context_.sink.EndLine(LineEnd::kReportEnd);
        state_ = State::kIdle;
      } else {
        zLow_ = byte;
        state_ = State::kZHigh;
      }
      break;
    }
    case State::kZHigh: {
      TextBuilder text;
      AppendPoint(text, settings);
      text.Text(", ").Decimal(zLow_ + byte * 128, 4);
      if (button_) text.Text(kxs::kButtonText);
      context_.sink.AppendText(text.View(), TextKind::kDecoded);
      context_.sink.EndLine(LineEnd::kReportEnd);
      if (settings.pollMode) context_.actions.SendPollByte();
      state_ = State::kIdle;
      break;
    }
    case State::kSkip:
      if (--skipLeft_ <= 0) state_ = State::kIdle;
      break;
    case State::kAlternate:
      alternateBytes_[alternateCount_++] = byte & kxs::kAlternateMask;
      if (alternateCount_ == 4) AlternateReport(settings);
      break;
  }
}

void KxsDecoder::AfterY(const DecoderSettings& settings) {
  if (settings.multiTouch || settings.reportFormat == format::kKxsZ) {
    state_ = State::kExtra;
    return;
  }
  TextBuilder text;
  AppendPoint(text, settings);
  if (button_) text.Text(kxs::kButtonText);
  context_.sink.AppendText(text.View(), TextKind::kDecoded);
  context_.sink.EndLine(LineEnd::kReportEnd);
  if (settings.pollMode) context_.actions.SendPollByte();
  const bool birchUsb = IsBirchUsbType(settings.controllerType);
  if (birchUsb && (settings.controllerFeatures & kxs::kBirchUsbTrailerFeature) && settings.passThrough) {
    state_ = State::kSkip;
    skipLeft_ = kxs::kBirchUsbTrailingBytes;
  } else {
    state_ = State::kIdle;
  }
}

void KxsDecoder::StartAlternate(char character) {
  character_ = character;
  alternateCount_ = 0;
  state_ = State::kAlternate;
}

void KxsDecoder::Idle(std::uint8_t byte, const DecoderSettings& settings) {
  if (alternate_) {
    switch (byte) {
      case kxs::kTouchDown:
        StartAlternate('D');
        return;
      case kxs::kTouching:
        StartAlternate(' ');
        return;
      case kxs::kLiftOff:
        alternate_ = false;
        StartAlternate('U');
        return;
      default:
        alternate_ = false;  // and the byte is taken as usual
        break;
    }
  }
  switch (byte) {
    case kCr:
      context_.sink.EndLine(LineEnd::kReportEnd);
      undecoded_.NoteCarriageReturn();
      break;
    case kxs::kAlternateStart:
      alternate_ = true;
      StartAlternate(kxs::kAlternateArmed);
      break;
    case kxs::kLiftOff:
      context_.sink.AppendText(kxs::kLiftOffText, TextKind::kDecoded);
      break;
    case kxs::kTouchDown:
      context_.sink.AppendText(kxs::kTouchDownText, TextKind::kDecoded);
      break;
    case kxs::kTouching:
      context_.sink.AppendText(kxs::kTouchingText, TextKind::kDecoded);
      break;
    default:
      undecoded_.Decode(byte, settings);
      break;
  }
}

void KxsDecoder::AlternateReport(const DecoderSettings& settings) {
  state_ = State::kIdle;
  const int x = alternateBytes_[0] * 32 + alternateBytes_[1];
  const int y = alternateBytes_[2] * 32 + alternateBytes_[3];
  if (character_ == kxs::kAlternateArmed) {
    // An armed report at 0,0 only asks for the next poll; any other one disarms.
    if (x == 0 && y == 0) {
      if (settings.pollMode) context_.actions.SendPollByte();
    } else {
      alternate_ = false;
    }
    return;
  }
  TextBuilder text;
  text.Char(character_).Char(' ').Decimal(x, 4).Char(',').Decimal(y, 4);
  context_.sink.AppendText(text.View(), TextKind::kDecoded);
  context_.sink.EndLine(LineEnd::kReportEnd);
  if (settings.pollMode) context_.actions.SendPollByte();
}

}  // namespace kx7
