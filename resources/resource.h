#pragma once
// Resource ids. Each dialog owns a numbered block; its controls are offsets inside it.
