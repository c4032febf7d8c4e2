#!/usr/bin/env python3
"""Writes the factory preset bank, resources/BankPreset1.X5R.

The file is in exactly the form the editor saves: the 50 templates as
template1..template50, the same 50 again as editBuffTemplate1..50 and a
bankInfo with template number 0, indented by 4 spaces, no XML declaration.

Control type 1 templates send MIDI control changes (CC number, display name
and display format per knob); control type 0 templates move host parameters
named by remote tag IDs. Template 50 is also the base of "Initialize
Template": its knob layout is what a fresh template starts from.

Usage: make_preset_bank.py [output path]
"""
import sys
from pathlib import Path
from xml.sax.saxutils import escape

NO_ASSIGN = "204143dff"
TRACK_VOLUME = "100000401"
TRACK_PAN = "100001069"

# Display names of the common MIDI control changes (at most 15 characters).
CC = {
    1: "Mod Wheel", 2: "Breath", 4: "Foot Ctrl", 5: "Porta Time",
    7: "Volume", 8: "Balance", 10: "Pan", 11: "Expression",
    12: "Effect 1", 13: "Effect 2", 16: "Gen Purpose 1", 17: "Gen Purpose 2",
    18: "Gen Purpose 3", 19: "Gen Purpose 4", 64: "Sustain", 65: "Portamento",
    66: "Sostenuto", 67: "Soft Pedal", 68: "Legato", 69: "Hold 2",
    70: "Variation", 71: "Resonance", 72: "Release", 73: "Attack",
    74: "Cutoff", 75: "Decay", 76: "Vibrato Rate", 77: "Vibrato Depth",
    78: "Vibrato Delay", 79: "Sound Ctrl 10", 80: "Gen Purpose 5",
    81: "Gen Purpose 6", 82: "Gen Purpose 7", 83: "Gen Purpose 8",
    84: "Porta Control", 91: "Reverb", 92: "Tremolo", 93: "Chorus",
    94: "Detune", 95: "Phaser",
}
# Knobs shown as -64..63 (centred) rather than 0..127.
CENTRED = {8, 10}

# Frequently used rows of four knobs (A..D).
FILTER = [74, 71, 73, 72]          # cutoff, resonance, attack, release
ENVELOPE = [73, 75, 72, 70]        # attack, decay, release, variation
VIBRATO = [76, 77, 78, 5]          # rate, depth, delay, portamento time
PERFORM = [1, 11, 91, 93]          # mod wheel, expression, reverb, chorus
MIX = [7, 10, 91, 93]              # volume, pan, reverb, chorus
PEDALS = [64, 66, 67, 68]          # sustain, sostenuto, soft, legato
EFFECTS = [12, 13, 92, 95]         # effect 1/2 depth, tremolo, phaser
GENERAL = [16, 17, 18, 19]         # general purpose 1..4
GENERAL2 = [80, 81, 82, 83]        # general purpose 5..8


def cc_knobs(*rows, names=None):
    """Twelve CC knobs from three rows of four CC numbers; names overrides
    the display name of a CC number within this template."""
    numbers = [n for row in rows for n in row]
    assert len(numbers) == 12, numbers
    names = names or {}
    return [(names.get(n, CC[n]), n, 1 if n in CENTRED else 0, NO_ASSIGN) for n in numbers]


def param_knobs(first):
    """Twelve knobs on instrument parameters first..first+11."""
    return [(f"Param {first + i + 1}", 0, 0, "0%08x" % (first + i)) for i in range(12)]


DRAWBARS = {12: "Drawbar 16", 13: "Drawbar 5 1/3", 16: "Drawbar 8", 17: "Drawbar 4",
            18: "Drawbar 2 2/3", 19: "Drawbar 2", 80: "Drawbar 1 3/5", 81: "Drawbar 1 1/3",
            82: "Drawbar 1", 92: "Leslie Speed", 93: "Chorus/Vibrato", 7: "Volume"}
DRUMS = {16: "Kick Level", 17: "Snare Level", 18: "HiHat Level", 19: "Tom Level",
         80: "Cymbal Level", 81: "Perc Level", 82: "Room Level", 83: "Overhead Lvl",
         70: "Kit Tune"}
MIXER = {16: "Low Gain", 17: "Mid Gain", 18: "Mid Freq", 19: "High Gain",
         80: "Comp Thresh", 81: "Comp Ratio", 82: "Gate Thresh", 83: "Output Gain"}
DELAY = {12: "Delay Time", 13: "Feedback", 16: "Delay Mix", 17: "Delay Tone",
         18: "Mod Rate", 19: "Mod Depth", 94: "Delay Send"}

# (template name <= 13 chars, VSTi name, control type, knobs)
TEMPLATES = [
    ("Analog Lead", "", 1, cc_knobs(FILTER, VIBRATO, PERFORM)),
    ("Analog Pad", "", 1, cc_knobs(FILTER, ENVELOPE[1:2] + [70, 76, 77], PERFORM)),
    ("Analog Bass", "", 1, cc_knobs(FILTER, [75, 70, 5, 65], [1, 11, 7, 10])),
    ("Poly Synth", "", 1, cc_knobs(FILTER, [75, 70, 76, 77], PERFORM)),
    ("FM Synth", "", 1, cc_knobs([70, 71, 74, 79], ENVELOPE, PERFORM,
                                 names={70: "Mod Index", 79: "Feedback"})),
    ("Wavetable", "", 1, cc_knobs([70, 74, 71, 79], ENVELOPE[:2] + [72, 76], PERFORM,
                                  names={70: "Wave Position", 79: "Wave Mod"})),
    ("Pluck Synth", "", 1, cc_knobs(FILTER, [75, 70, 94, 95], PERFORM)),
    ("Synth Brass", "", 1, cc_knobs(FILTER, [75, 2, 76, 77], PERFORM)),
    ("Arpeggiator", "", 1, cc_knobs(FILTER, GENERAL, PERFORM,
                                    names={16: "Arp Rate", 17: "Arp Gate", 18: "Arp Octave",
                                           19: "Arp Swing"})),
    ("Mono Lead", "", 1, cc_knobs(FILTER, [5, 65, 76, 77], PERFORM)),
    ("Grand Piano", "", 1, cc_knobs(MIX, [11, 74, 73, 72], PEDALS,
                                    names={74: "Brightness", 73: "Hammer Attack"})),
    ("Upright Piano", "", 1, cc_knobs(MIX, [11, 74, 73, 72], PEDALS,
                                      names={74: "Brightness", 73: "Hammer Attack"})),
    ("Electric Pno", "", 1, cc_knobs(MIX, [11, 74, 92, 95], [64, 12, 13, 1],
                                     names={74: "Bell Tone", 12: "Drive"})),
    ("Clavinet", "", 1, cc_knobs([74, 71, 73, 72], [12, 92, 95, 11], MIX,
                                 names={12: "Wah Pedal"})),
    ("Harpsichord", "", 1, cc_knobs(MIX, [11, 74, 72, 73], [16, 17, 18, 19],
                                    names={74: "Brightness", 16: "Register 8 I",
                                           17: "Register 8 II", 18: "Register 4",
                                           19: "Lute Stop"})),
    ("Tonewheel Org", "", 1, cc_knobs([12, 13, 16, 17], [18, 19, 80, 81], [82, 92, 93, 7],
                                      names=DRAWBARS)),
    ("Church Organ", "", 1, cc_knobs([16, 17, 18, 19], [80, 81, 82, 83], [7, 11, 91, 92],
                                     names={16: "Principal 8", 17: "Flute 8", 18: "Octave 4",
                                            19: "Mixture", 80: "Trumpet 8", 81: "Bourdon 16",
                                            82: "Celeste", 83: "Swell Pedal"})),
    ("Combo Organ", "", 1, cc_knobs([16, 17, 18, 19], [74, 71, 92, 76], [7, 11, 91, 93],
                                    names={16: "Voice 16", 17: "Voice 8", 18: "Voice 4",
                                           19: "Voice 2"})),
    ("Strings", "", 1, cc_knobs([1, 11, 73, 72], [74, 71, 76, 77], MIX)),
    ("Solo Violin", "", 1, cc_knobs([1, 11, 2, 5], [76, 77, 78, 73], MIX)),
    ("Cello", "", 1, cc_knobs([1, 11, 2, 5], [76, 77, 78, 73], MIX)),
    ("Orchestra", "", 1, cc_knobs([1, 11, 2, 7], [73, 72, 74, 70], [10, 91, 93, 64],
                                  names={70: "Articulation"})),
    ("Brass Section", "", 1, cc_knobs([2, 11, 1, 5], [74, 71, 73, 72], MIX)),
    ("Woodwinds", "", 1, cc_knobs([2, 11, 1, 5], [76, 77, 73, 72], MIX)),
    ("Choir", "", 1, cc_knobs([1, 11, 70, 74], [73, 72, 76, 77], MIX,
                              names={70: "Vowel", 74: "Breathiness"})),
    ("Acoustic Gtr", "", 1, cc_knobs([1, 11, 74, 70], [73, 72, 64, 68], MIX,
                                     names={70: "Fret Noise", 74: "Brightness"})),
    ("Electric Gtr", "", 1, cc_knobs([12, 13, 74, 71], [92, 93, 95, 94], [7, 10, 91, 11],
                                     names={12: "Drive", 13: "Amp Tone"})),
    ("Bass Guitar", "", 1, cc_knobs([74, 71, 73, 72], [12, 13, 70, 68], [7, 10, 91, 11],
                                    names={12: "Drive", 13: "Amp Tone", 70: "Pick Position"})),
    ("Drum Kit", "", 1, cc_knobs([16, 17, 18, 19], [80, 81, 82, 83], [7, 70, 91, 74],
                                 names={**DRUMS, 74: "Kit Brightness"})),
    ("Drum Machine", "", 1, cc_knobs([16, 17, 18, 19], [74, 71, 75, 70], [7, 12, 91, 93],
                                     names={**DRUMS, 12: "Drive", 70: "Kit Tune"})),
    ("Percussion", "", 1, cc_knobs([70, 74, 75, 72], [1, 11, 12, 13], MIX,
                                   names={70: "Tune", 12: "Shaker Level", 13: "Conga Level"})),
    ("Sampler", "", 1, cc_knobs(FILTER, [75, 70, 5, 65], PERFORM,
                                names={70: "Sample Start"})),
    ("Mallets", "", 1, cc_knobs(MIX, [11, 74, 72, 92], [76, 77, 73, 64],
                                names={74: "Mallet Hard"})),
    ("Harp", "", 1, cc_knobs(MIX, [11, 74, 72, 73], [1, 64, 76, 77])),
    ("World Instr", "", 1, cc_knobs([1, 11, 2, 5], [74, 71, 73, 72], MIX)),
    ("Ambient Pad", "", 1, cc_knobs(FILTER, [1, 76, 77, 95], [7, 91, 94, 93])),
    ("Sound FX", "", 1, cc_knobs([74, 71, 70, 79], [73, 75, 72, 12], [1, 11, 91, 95],
                                 names={70: "Pitch Mod", 79: "Noise", 12: "Grain Size"})),
    ("Effect Sends", "", 1, cc_knobs([91, 93, 94, 95], [92, 12, 13, 11], [7, 10, 8, 1],
                                     names={94: "Delay Send"})),
    ("Filter FX", "", 1, cc_knobs([74, 71, 16, 17], [18, 19, 12, 13], [7, 10, 91, 1],
                                  names={16: "Filter Type", 17: "Env Amount", 18: "LFO Rate",
                                         19: "LFO Depth", 12: "Drive", 13: "Filter Mix"})),
    ("Mod FX", "", 1, cc_knobs([93, 95, 92, 94], GENERAL, [7, 10, 91, 1],
                               names={94: "Flanger", 16: "Mod Rate", 17: "Mod Depth",
                                      18: "Mod Feedback", 19: "Mod Mix"})),
    ("Delay FX", "", 1, cc_knobs([12, 13, 16, 17], [18, 19, 94, 91], [7, 10, 93, 1],
                                 names=DELAY)),
    ("Dynamics", "", 1, cc_knobs([80, 81, 82, 83], GENERAL, [7, 10, 11, 91],
                                 names={**MIXER, 16: "Comp Attack", 17: "Comp Release",
                                        18: "Gate Release", 19: "Limiter"})),
    ("Channel EQ", "", 1, cc_knobs(GENERAL, [80, 81, 82, 83], [7, 10, 91, 93],
                                   names=MIXER)),
    ("DJ Mixer", "", 1, cc_knobs(GENERAL, [74, 71, 12, 13], [7, 8, 91, 94],
                                 names={16: "Low Kill", 17: "Mid Kill", 18: "High Kill",
                                        19: "Crossfader", 74: "Filter", 12: "Echo Time",
                                        13: "Echo Feedback", 94: "Echo Send"})),
    ("GM Mixer", "", 1, cc_knobs(MIX, [11, 8, 94, 95], [1, 64, 74, 71])),
    ("Track Mixer", "", 0, [("Volume", 7, 0, TRACK_VOLUME), ("Pan", 10, 1, TRACK_PAN)]
     + [("", 0, 0, NO_ASSIGN)] * 10),
    ("Instrument 1", "", 0, param_knobs(0)),
    ("Instrument 2", "", 0, param_knobs(12)),
    ("GM Controls", "", 1, cc_knobs([1, 2, 4, 5], [7, 8, 10, 11], [64, 91, 93, 74])),
    # Base of new templates: CC layout for CC mode, volume and pan assigned
    # for remote mode.
    ("Basic", "", 1, [(d, n, f, TRACK_VOLUME if n == 7 else TRACK_PAN if n == 10 else NO_ASSIGN)
                      for (d, n, f, _) in cc_knobs([74, 71, 73, 72], [1, 11, 91, 93],
                                                   [7, 10, 75, 5])]),
]

KNOBS = ["knobA1", "knobB1", "knobC1", "knobD1", "knobA2", "knobB2", "knobC2", "knobD2",
         "knobA3", "knobB3", "knobC3", "knobD3"]


def element(lines, depth, tag, text):
    pad = "    " * depth
    lines.append(f"{pad}<{tag}>{escape(text)}</{tag}>" if text != "" else f"{pad}<{tag}/>")


def template(lines, tag, t):
    name, vsti, ctype, knobs = t
    lines.append(f"    <{tag}>")
    element(lines, 2, "name", name)
    element(lines, 2, "vstiname", vsti)
    element(lines, 2, "controltype", str(ctype))
    for knob, (disp, ccnum, fmt, remote) in zip(KNOBS, knobs):
        lines.append(f"        <{knob}>")
        element(lines, 3, "displayname", disp)
        element(lines, 3, "ccnumber", str(ccnum))
        element(lines, 3, "displayformat", str(fmt))
        element(lines, 3, "remotenumber", remote)
        lines.append(f"        </{knob}>")
    lines.append(f"    </{tag}>")


def check():
    assert len(TEMPLATES) == 50, len(TEMPLATES)
    for name, vsti, ctype, knobs in TEMPLATES:
        assert len(name) <= 13 and len(vsti) <= 12 and ctype in (0, 1), name
        assert len(knobs) == 12, name
        for disp, ccnum, fmt, remote in knobs:
            assert len(disp) <= 15 and 0 <= ccnum <= 127 and fmt in (0, 1), (name, disp)
            assert len(remote) == 9 and remote == remote.lower(), (name, remote)


def main():
    check()
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).resolve().parent.parent / "BankPreset1.X5R"
    lines = ["<!DOCTYPE ZenoA_ZenoBRemoteEditorFile>", '<bank version="1.0">']
    for i, t in enumerate(TEMPLATES, 1):
        template(lines, f"template{i}", t)
    for i, t in enumerate(TEMPLATES, 1):
        template(lines, f"editBuffTemplate{i}", t)
    lines.append("    <bankInfo>")
    element(lines, 2, "templateNumber", "0")
    lines.append("    </bankInfo>")
    lines.append("</bank>")
    out.write_text("\n".join(lines) + "\n", encoding="utf-8")


if __name__ == "__main__":
    main()
