#include "AudioInterpolator.h"

AudioInterpolator::AudioInterpolator() noexcept
{
    reset();
}

void AudioInterpolator::reset() noexcept
{
    std::fill (std::begin (history), std::end (history), 0.0f);
    position = 1.0;
}

inline void AudioInterpolator::push (float sample) noexcept
{
    history[4] = history[3];
    history[3] = history[2];
    history[2] = history[1];
    history[1] = history[0];
    history[0] = sample;
}

float AudioInterpolator::interpolate (float pos) const noexcept
{
    // Nodes 0..4 hold history[4] (oldest) .. history[0] (newest); evaluate at t = pos + 2.
    const float t = pos + 2.0f;
    const float d0 = t;
    const float d1 = t - 1.0f;
    const float d2 = t - 2.0f;
    const float d3 = t - 3.0f;
    const float d4 = t - 4.0f;

    // At pos = 0 every term but node 2's has the factor d2 = 0, and node 2's weight is exactly 1.
    const float l0 = d1 * d2 * d3 * d4 * (1.0f / 24.0f);
    const float l1 = d0 * d2 * d3 * d4 * (-1.0f / 6.0f);
    const float l2 = d0 * d1 * d3 * d4 * 0.25f;
    const float l3 = d0 * d1 * d2 * d4 * (-1.0f / 6.0f);
    const float l4 = d0 * d1 * d2 * d3 * (1.0f / 24.0f);

    return history[4] * l0 + history[3] * l1 + history[2] * l2 + history[1] * l3 + history[0] * l4;
}

// Real-time: reader thread.
int AudioInterpolator::process (const float* storage, int start, int size1, float* dest, int numOutput, Ramp ramp) noexcept
{
    const float* src = storage + start;
    const int wrap = start + size1;
    int left = size1;
    int moved = 0;
    bool exhausted = size1 <= 0;
    double pos = position;

    for (int i = 0; i < numOutput; ++i)
    {
        while (pos >= 1.0)
        {
            if (exhausted)
            {
                push (0.0f);
            }
            else
            {
                push (*src++);
                ++moved;

                if (--left == 0)
                {
                    if (wrap != 0)
                    {
                        src -= wrap;
                        left += wrap;
                    }
                    else
                    {
                        exhausted = true;
                    }
                }
            }

            pos -= 1.0;
        }

        dest[i] = interpolate ((float) pos);
        pos += ramp.getNextValue();
    }

    position = pos;
    return moved;
}
