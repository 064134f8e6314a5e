-- A nested loop building a table of a million integers.
local b = {}
for i = 1, 1000 do
  for j = 1, 1000 do
    b[#b + 1] = i + j
  end
end
print(string.format("%d %d %d %d", #b, b[1], b[1000], b[#b]))
