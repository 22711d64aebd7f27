#!/usr/bin/env python3
"""Writes the bundled example scenes into examples/:

  vehicle.ase  a three-mesh vehicle (Hull > domed Turret > Barrel) with a standard and
               a multi/sub-object material, a free camera and an omni light
  vehicle.dks  the model script that SCENE2DKS writes for `SCENE2DKS vehicle.ase`
  brushes.ase  three convex collision brushes for SCENE2HXM

The text imitates a 3D Studio MAX ASCII export line for line (TAB indentation,
four decimals, TAB separators, LF line ends), because the readers find keywords
by position in the file rather than by braces: block order matters as much as
content. Nothing depends on the clock or on randomness, so two runs give the
same bytes. Every mesh is checked before anything is written; a failed check
raises and leaves the old files in place.

Usage: python3 tools/make_examples.py [output-folder]
"""
import math
import pathlib
import sys

# ---------------------------------------------------------------- numbers


def fmt(x):
    text = "%.4f" % x
    return "0.0000" if text == "-0.0000" else text


def q(x):
    """The value a reader gets back from the four-decimal text."""
    return float(fmt(x))


def tabs(values):
    return "\t".join(fmt(v) for v in values)


def add(a, b):
    return tuple(x + y for x, y in zip(a, b))


def sub(a, b):
    return tuple(x - y for x, y in zip(a, b))


def scale(a, s):
    return tuple(x * s for x in a)


def dot(a, b):
    return sum(x * y for x, y in zip(a, b))


def cross(a, b):
    return (a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0])


def unit(a):
    length = math.sqrt(dot(a, a))
    return scale(a, 1.0 / length)


# ---------------------------------------------------------------- node frames
# A frame's rows are its local axes in world space, so a local point l sits at
# pos + l0*row0 + l1*row1 + l2*row2. The exporter writes the rotation as axis
# and angle with the axis negated relative to the right-hand rule (rows equal
# the columns of a right-hand rotation by -angle about the written axis).


def rot_z(degrees):
    c, s = math.cos(math.radians(degrees)), math.sin(math.radians(degrees))
    return ((c, s, 0.0), (-s, c, 0.0), (0.0, 0.0, 1.0))


def rot_y(degrees):
    c, s = math.cos(math.radians(degrees)), math.sin(math.radians(degrees))
    return ((c, 0.0, -s), (0.0, 1.0, 0.0), (s, 0.0, c))


IDENTITY = ((1.0, 0.0, 0.0), (0.0, 1.0, 0.0), (0.0, 0.0, 1.0))


def compose(child, parent):
    """Rows of a frame given in its parent's axes, expressed in world axes."""
    return tuple(tuple(sum(r[k] * parent[k][j] for k in range(3)) for j in range(3)) for r in child)


def right_hand_matrix(axis, angle):
    x, y, z = unit(axis)
    c, s, t = math.cos(angle), math.sin(angle), 1.0 - math.cos(angle)
    return ((c + x * x * t, x * y * t - z * s, x * z * t + y * s),
            (y * x * t + z * s, c + y * y * t, y * z * t - x * s),
            (z * x * t - y * s, z * y * t + x * s, c + z * z * t))


def rows_from_axis_angle(axis, angle):
    if angle == 0.0:
        return IDENTITY
    m = right_hand_matrix(axis, -angle)
    return tuple(tuple(m[r][c] for r in range(3)) for c in range(3))


def axis_angle(rows):
    # m has the rows as columns: a right-hand rotation taking e_i to rows[i].
    m = [[rows[c][r] for c in range(3)] for r in range(3)]
    cosine = max(-1.0, min(1.0, (m[0][0] + m[1][1] + m[2][2] - 1.0) / 2.0))
    angle = math.acos(cosine)
    if angle < 1e-9:
        return (0.0, 0.0, 0.0), 0.0
    if angle > math.pi - 1e-3:
        raise ValueError("half-turn rotations have an ambiguous axis; pick another angle")
    axis = unit((m[2][1] - m[1][2], m[0][2] - m[2][0], m[1][0] - m[0][1]))
    return scale(axis, -1.0), angle


class Frame:
    def __init__(self, rows, pos):
        self.exact_rows = rows
        # Geometry is placed with the rounded values the file holds, so that a
        # reader undoing the transform meets the same numbers we used.
        self.rows = tuple(tuple(q(v) for v in r) for r in rows)
        self.pos = tuple(q(v) for v in pos)
        self.axis, self.angle = axis_angle(rows)

    def to_world(self, local):
        w = self.pos
        for i in range(3):
            w = add(w, scale(self.rows[i], local[i]))
        return tuple(q(v) for v in w)

    def child(self, local_rows, local_pos):
        """A frame given relative to this one (rows and position in its axes)."""
        rows = compose(local_rows, self.exact_rows)
        pos = self.pos
        for i in range(3):
            pos = add(pos, scale(self.exact_rows[i], local_pos[i]))
        return Frame(rows, pos)

    def lines(self, name, inherit_scale="0 0 0"):
        out = ["\t*NODE_TM {", '\t\t*NODE_NAME "%s"' % name,
               "\t\t*INHERIT_POS 0 0 0", "\t\t*INHERIT_ROT 0 0 0", "\t\t*INHERIT_SCL " + inherit_scale]
        for i, row in enumerate(self.rows):
            out.append("\t\t*TM_ROW%d %s" % (i, tabs(row)))
        out += ["\t\t*TM_ROW3 " + tabs(self.pos), "\t\t*TM_POS " + tabs(self.pos),
                "\t\t*TM_ROTAXIS " + tabs(self.axis), "\t\t*TM_ROTANGLE " + fmt(self.angle),
                "\t\t*TM_SCALE 1.0000\t1.0000\t1.0000", "\t\t*TM_SCALEAXIS 0.0000\t0.0000\t0.0000",
                "\t\t*TM_SCALEAXISANG 0.0000", "\t}"]
        return out


# ---------------------------------------------------------------- meshes


class Mesh:
    """A closed mesh built from polygons that run counter-clockwise seen from
    outside; each polygon carries its texture (and colour) vertex indices."""

    def __init__(self, name, parent, frame, local_vertices, material_ref):
        self.name, self.parent, self.frame, self.material_ref = name, parent, frame, material_ref
        self.local = list(local_vertices)
        self.vertices = [frame.to_world(v) for v in self.local]
        self.tverts, self.cverts = [], []
        self.polygons = []

    def tvert(self, u, v):
        self.tverts.append((q(u), q(v)))
        return len(self.tverts) - 1

    def polygon(self, verts, tverts, smoothing, mtlid, colours=None):
        assert len(verts) == len(tverts) >= 3
        self.polygons.append((list(verts), list(tverts), colours, tuple(smoothing), mtlid))

    def band(self, rings, vs, smoothing, mtlids):
        """Side quads between consecutive rings (smoothing: one entry per gap
        between rings), unwrapped into one strip whose last column repeats the
        first at u = 1: the texture seam."""
        n = len(rings[0])
        ring0 = [self.local[i] for i in rings[0]]
        lengths = [0.0]
        for k in range(n):
            d = sub(ring0[(k + 1) % n], ring0[k])
            lengths.append(lengths[-1] + math.sqrt(dot(d, d)))
        grid = [[self.tvert(lengths[k] / lengths[-1], v) for k in range(n + 1)] for v in vs]
        for r in range(len(rings) - 1):
            lo, hi = rings[r], rings[r + 1]
            for k in range(n):
                k1 = (k + 1) % n
                self.polygon((lo[k], lo[k1], hi[k1], hi[k]),
                             (grid[r][k], grid[r][k + 1], grid[r + 1][k + 1], grid[r + 1][k]),
                             smoothing[r],
                             mtlids[(r * n + k) % len(mtlids)])

    def cap(self, ring, region, smoothing, mtlid):
        """A flat polygon mapped by projecting its corners onto its own plane."""
        corners = [self.local[i] for i in ring]
        normal = unit(cross(sub(corners[1], corners[0]), sub(corners[2], corners[0])))
        e0 = unit(sub(corners[1], corners[0]))
        e1 = cross(normal, e0)
        flat = [(dot(c, e0), dot(c, e1)) for c in corners]
        lo = [min(p[i] for p in flat) for i in range(2)]
        hi = [max(p[i] for p in flat) for i in range(2)]
        u0, v0, u1, v1 = region
        ts = [self.tvert(u0 + (u1 - u0) * (p[0] - lo[0]) / (hi[0] - lo[0]),
                         v0 + (v1 - v0) * (p[1] - lo[1]) / (hi[1] - lo[1])) for p in flat]
        self.polygon(ring, ts, smoothing, mtlid)

    def faces(self):
        """Triangles as the exporter writes them: a quad a,b,c,d becomes a,b,c
        and c,d,a with the shared diagonal hidden; larger polygons become fans.
        Each triangle: (verts, tverts, colours, edge flags, smoothing, mtlid,
        polygon number)."""
        out = []
        for number, (verts, tverts, colours, smoothing, mtlid) in enumerate(self.polygons):
            n = len(verts)
            if n == 4:
                tris = [((0, 1, 2), (1, 1, 0)), ((2, 3, 0), (1, 1, 0))]
            else:
                tris = [((0, k, k + 1), (int(k == 1), 1, int(k + 1 == n - 1))) for k in range(1, n - 1)]
            for corners, flags in tris:
                out.append(([verts[c] for c in corners], [tverts[c] for c in corners],
                            [colours[c] for c in corners] if colours else None, flags, smoothing, mtlid,
                            number))
        return out

    def normals(self, faces):
        face_normals = []
        for f in faces:
            a, b, c = (self.vertices[i] for i in f[0])
            face_normals.append(unit(cross(sub(b, a), sub(c, a))))
        around = {}
        for index, f in enumerate(faces):
            for v in f[0]:
                around.setdefault(v, []).append(index)
        vertex_normals = []
        for index, f in enumerate(faces):
            groups = set(f[4])
            corner_normals = []
            for v in f[0]:
                total = face_normals[index]
                if groups:  # faces outside every group stay faceted
                    total = (0.0, 0.0, 0.0)
                    for other in around[v]:
                        if groups & set(faces[other][4]):
                            total = add(total, face_normals[other])
                corner_normals.append(unit(total))
            vertex_normals.append(corner_normals)
        return face_normals, vertex_normals

    def lines(self):
        faces = self.faces()
        face_normals, vertex_normals = self.normals(faces)
        out = ["*GEOMOBJECT {", '\t*NODE_NAME "%s"' % self.name]
        if self.parent:
            out.append('\t*NODE_PARENT "%s"' % self.parent)
        out += self.frame.lines(self.name)
        out += ["\t*MESH {", "\t\t*TIMEVALUE 0", "\t\t*MESH_NUMVERTEX %d" % len(self.vertices),
                "\t\t*MESH_NUMFACES %d" % len(faces), "\t\t*MESH_VERTEX_LIST {"]
        out += ["\t\t\t*MESH_VERTEX %4d\t%s" % (i, tabs(v)) for i, v in enumerate(self.vertices)]
        out += ["\t\t}", "\t\t*MESH_FACE_LIST {"]
        for i, (verts, _, _, flags, smoothing, mtlid, _) in enumerate(faces):
            # No smoothing group is written as an empty value, as the exporter does.
            out.append("\t\t\t*MESH_FACE %4d:    A: %4d B: %4d C: %4d AB: %4d BC: %4d CA: %4d\t *MESH_SMOOTHING %s \t*MESH_MTLID %d"
                       % ((i,) + tuple(verts) + tuple(flags) + (",".join(map(str, smoothing)), mtlid)))
        out += ["\t\t}", "\t\t*MESH_NUMTVERTEX %d" % len(self.tverts), "\t\t*MESH_TVERTLIST {"]
        out += ["\t\t\t*MESH_TVERT %d\t%s\t0.0000" % (i, tabs(t)) for i, t in enumerate(self.tverts)]
        out += ["\t\t}", "\t\t*MESH_NUMTVFACES %d" % len(faces), "\t\t*MESH_TFACELIST {"]
        out += ["\t\t\t*MESH_TFACE %d\t%d\t%d\t%d" % ((i,) + tuple(f[1])) for i, f in enumerate(faces)]
        out += ["\t\t}", "\t\t*MESH_NUMCVERTEX %d" % len(self.cverts)]
        if self.cverts:
            out.append("\t\t*MESH_CVERTLIST {")
            out += ["\t\t\t*MESH_VERTCOL %d\t%s" % (i, tabs(c)) for i, c in enumerate(self.cverts)]
            out += ["\t\t}", "\t\t*MESH_NUMCVFACES %d" % len(faces), "\t\t*MESH_CFACELIST {"]
            out += ["\t\t\t*MESH_CFACE %d\t%d\t%d\t%d" % ((i,) + tuple(f[2])) for i, f in enumerate(faces)]
            out.append("\t\t}")
        out.append("\t\t*MESH_NORMALS {")
        for i, f in enumerate(faces):
            out.append("\t\t\t*MESH_FACENORMAL %d\t%s" % (i, tabs(face_normals[i])))
            for v, n in zip(f[0], vertex_normals[i]):
                out.append("\t\t\t\t*MESH_VERTEXNORMAL %d\t%s" % (v, tabs(n)))
        out += ["\t\t}", "\t}", "\t*PROP_MOTIONBLUR 0", "\t*PROP_CASTSHADOW 1", "\t*PROP_RECVSHADOW 1",
                "\t*MATERIAL_REF %d" % self.material_ref, "}"]
        return out


def ring(count, radius, z, start_degrees):
    """Points counter-clockwise seen from +z."""
    out = []
    for k in range(count):
        a = math.radians(start_degrees + 360.0 * k / count)
        out.append((radius * math.cos(a), radius * math.sin(a), z))
    return out


def prism(mesh_name, parent, frame, bottom, top, material_ref, smoothing, mtlids, cap_mtlid):
    """A closed prism between two rings of equal size, both counter-clockwise
    seen from the top ring's side; smoothing: sides, top, bottom."""
    n = len(bottom)
    mesh = Mesh(mesh_name, parent, frame, bottom + top, material_ref)
    lo, hi = list(range(n)), list(range(n, 2 * n))
    mesh.band([lo, hi], [0.0, 0.5], [smoothing[0]], mtlids)
    mesh.cap(hi, (0.0, 0.5, 0.5, 1.0), smoothing[1], cap_mtlid)
    mesh.cap([lo[0]] + lo[:0:-1], (0.5, 0.5, 1.0, 1.0), smoothing[2], cap_mtlid)
    return mesh


def dome(mesh_name, parent, frame, radius, wall, height, material_ref):
    """A round turret: a low wall striped in two materials, a smooth dome of
    one material over it and a flat hatch on top. The dome's inner rings
    touch nothing but the dome, so a simplifier has something to take."""
    segments, dome_rings = 16, 5
    rings = [ring(segments, radius, 0.0, 0.0), ring(segments, radius, wall, 0.0)]
    for k in range(1, dome_rings):
        angle = math.radians(72.0 * k / (dome_rings - 1))
        rings.append(ring(segments, radius * math.cos(angle), wall + height * math.sin(angle), 0.0))
    mesh = Mesh(mesh_name, parent, frame, [p for r in rings for p in r], material_ref)
    index = [list(range(r * segments, (r + 1) * segments)) for r in range(len(rings))]
    mesh.band(index[:2], [0.0, 0.15], [(1,)], (0, 2))
    vs = [0.15 + 0.35 * k / (dome_rings - 1) for k in range(dome_rings)]
    mesh.band(index[1:], vs, [(1,)] * (dome_rings - 1), (0,))
    mesh.cap(index[-1], (0.0, 0.5, 0.5, 1.0), (4,), 1)
    mesh.cap([index[0][0]] + index[0][:0:-1], (0.5, 0.5, 1.0, 1.0), (), 1)
    return mesh


# ---------------------------------------------------------------- materials


def map_block(indent, name, bitmap):
    t = "\t" * indent
    return ([t + "*MAP_DIFFUSE {", t + '\t*MAP_NAME "%s"' % name, t + '\t*MAP_CLASS "Bitmap"',
             t + "\t*MAP_SUBNO 1", t + "\t*MAP_AMOUNT 1.0000", t + '\t*BITMAP "%s"' % bitmap,
             t + "\t*MAP_TYPE Screen"]
            + [t + "\t*UVW_%s %s" % kv for kv in (("U_OFFSET", "0.0000"), ("V_OFFSET", "0.0000"),
                                                  ("U_TILING", "1.0000"), ("V_TILING", "1.0000"),
                                                  ("ANGLE", "0.0000"), ("BLUR", "1.0000"),
                                                  ("BLUR_OFFSET", "0.0000"), ("NOUSE_AMT", "1.0000"),
                                                  ("NOISE_SIZE", "1.0000"), ("NOISE_LEVEL", "1"),
                                                  ("NOISE_PHASE", "0.0000"))]
            + [t + "\t*BITMAP_FILTER Pyramidal", t + "}"])


def standard(indent, opener, name, ambient, diffuse, specular, shine=0.1, strength=0.0,
             transparency=0.0, selfillum=0.0, two_sided=False, bitmap=None, map_name="Map #1"):
    # NOTE: the converter ends a material at its first line holding '}', so the
    # map block has to be the last thing in it, as the exporter writes it.
    t = "\t" * indent
    out = ["\t" * (indent - 1) + opener, t + '*MATERIAL_NAME "%s"' % name, t + '*MATERIAL_CLASS "Standard"',
           t + "*MATERIAL_AMBIENT " + tabs(ambient), t + "*MATERIAL_DIFFUSE " + tabs(diffuse),
           t + "*MATERIAL_SPECULAR " + tabs(specular), t + "*MATERIAL_SHINE " + fmt(shine),
           t + "*MATERIAL_SHINESTRENGTH " + fmt(strength), t + "*MATERIAL_TRANSPARENCY " + fmt(transparency),
           t + "*MATERIAL_WIRESIZE 1.0000"]
    if two_sided:
        out.append(t + "*MATERIAL_TWOSIDED")
    out += [t + "*MATERIAL_SHADING Blinn", t + "*MATERIAL_XP_FALLOFF 0.0000",
            t + "*MATERIAL_SELFILLUM " + fmt(selfillum), t + "*MATERIAL_FALLOFF In", t + "*MATERIAL_XP_TYPE Filter"]
    if bitmap:
        out += map_block(indent, map_name, bitmap)
    return out + ["\t" * (indent - 1) + "}"]


def header(scene_file):
    return ["*3DSMAX_ASCIIEXPORT\t200", '*COMMENT "AsciiExport Version  2,00 - Sat Mar 14 11:26:40 2009"',
            "*SCENE {", '\t*SCENE_FILENAME "%s"' % scene_file, "\t*SCENE_FIRSTFRAME 0",
            "\t*SCENE_LASTFRAME 100", "\t*SCENE_FRAMESPEED 30", "\t*SCENE_TICKSPERFRAME 160",
            "\t*SCENE_BACKGROUND_STATIC 0.0000\t0.0000\t0.0000",
            "\t*SCENE_AMBIENT_STATIC 0.0000\t0.0000\t0.0000", "}"]


# ---------------------------------------------------------------- the vehicle


def vehicle_meshes():
    hull_frame = Frame(IDENTITY, (12.5, -4.0, 0.0))
    # Three rings: a narrow keel, the widest belt, a narrower deck.
    keel = [(16.0, -8.0, 0.0), (16.0, 8.0, 0.0), (-15.0, 8.0, 0.0), (-15.0, -8.0, 0.0)]
    belt = [(22.0, -11.0, 4.0), (22.0, 11.0, 4.0), (-19.0, 11.0, 4.0), (-19.0, -11.0, 4.0)]
    deck = [(15.0, -8.5, 8.0), (15.0, 8.5, 8.0), (-17.0, 8.5, 8.0), (-17.0, -8.5, 8.0)]
    hull = Mesh("Hull", None, hull_frame, keel + belt + deck, 1)
    hull.band([[0, 1, 2, 3], [4, 5, 6, 7], [8, 9, 10, 11]], [0.0, 0.35, 0.7],
              [(2,), (3,)], (1, 1, 1, 1, 2, 0, 2, 0))
    hull.cap([8, 9, 10, 11], (0.0, 0.7, 0.5, 1.0), (1,), 0)
    hull.cap([0, 3, 2, 1], (0.5, 0.7, 1.0, 1.0), (), 1)
    # Baked shading: dark keel, lit deck, warmer at the front. The underside
    # has colours of its own (12..15), so colour indices are not always the
    # vertex indices of a face.
    hull.cverts = ([(0.25, 0.25, 0.22)] * 4 + [(0.65, 0.62, 0.55)] * 2 + [(0.55, 0.55, 0.55)] * 2
                   + [(1.0, 0.96, 0.88)] * 4 + [(0.08, 0.08, 0.08)] * 4)
    hull.polygons = [(v, t, [i + 12 for i in v] if number == len(hull.polygons) - 1 else v, s, m)
                     for number, (v, t, _, s, m) in enumerate(hull.polygons)]

    turret_frame = hull_frame.child(rot_z(30.0), (-2.0, 0.0, 8.0))
    turret = dome("Turret", "Hull", turret_frame, 7.0, 1.5, 4.5, 1)

    # Pitched up 10 degrees about the turret's y axis, from the front face.
    barrel_frame = turret_frame.child(rot_y(-10.0), (6.0, 0.0, 2.25))
    along_x = ((0.0, 1.0, 0.0), (0.0, 0.0, 1.0), (1.0, 0.0, 0.0))  # prism axis z -> local x

    def tube(x):
        return [tuple(sum(p[i] * along_x[i][j] for i in range(3)) for j in range(3))
                for p in ring(8, 0.7, x, 22.5)]
    barrel = prism("Barrel", "Turret", barrel_frame, tube(0.0), tube(16.0), 0,
                   smoothing=((1,), (2,), ()), mtlids=(0,), cap_mtlid=0)
    return [hull, turret, barrel], turret_frame, hull_frame


def vehicle_ase():
    meshes, turret_frame, hull_frame = vehicle_meshes()
    lines = header("vehicle.max") + ["*MATERIAL_LIST {", "\t*MATERIAL_COUNT 2"]
    lines += standard(2, "*MATERIAL 0 {", "Gunmetal", (0.1765, 0.1843, 0.2000), (0.3529, 0.3725, 0.4000),
                      (0.9000, 0.9000, 0.9000), shine=0.25, strength=0.05, bitmap="C:\\maps\\gunmetal.tga")
    lines += ["\t*MATERIAL 1 {", '\t\t*MATERIAL_NAME "HullParts"', '\t\t*MATERIAL_CLASS "Multi/Sub-Object"',
              "\t\t*MATERIAL_AMBIENT 0.5882\t0.5882\t0.5882", "\t\t*MATERIAL_DIFFUSE 0.5882\t0.5882\t0.5882",
              "\t\t*MATERIAL_SPECULAR 0.9000\t0.9000\t0.9000", "\t\t*MATERIAL_SHINE 0.1000",
              "\t\t*MATERIAL_SHINESTRENGTH 0.0000", "\t\t*MATERIAL_TRANSPARENCY 0.0000",
              "\t\t*MATERIAL_WIRESIZE 1.0000", "\t\t*NUMSUBMTLS 3"]
    lines += standard(3, "*SUBMATERIAL 0 {", "Camo", (0.2078, 0.2314, 0.1373), (0.4157, 0.4627, 0.2745),
                      (0.4500, 0.4500, 0.4500), bitmap="C:\\maps\\camo.tga", map_name="Map #2")
    lines += standard(3, "*SUBMATERIAL 1 {", "Decals", (0.5882, 0.5882, 0.5882), (0.9000, 0.8000, 0.1000),
                      (0.2000, 0.2000, 0.2000), transparency=0.25, selfillum=0.5,
                      bitmap="C:\\maps\\decals.tga", map_name="Map #3")
    lines += standard(3, "*SUBMATERIAL 2 {", "Canvas", (0.2804, 0.2451, 0.1824), (0.5608, 0.4902, 0.3647),
                      (0.1000, 0.1000, 0.1000), shine=0.05, two_sided=True)
    lines += ["\t}", "}"]
    for mesh in meshes:
        lines += mesh.lines()

    # A free camera looks down its local -z with local y up: here along the
    # turret's forward axis, from above its rear.
    camera_rows = ((0.0, -1.0, 0.0), (0.0, 0.0, 1.0), (-1.0, 0.0, 0.0))
    camera = turret_frame.child(camera_rows, (-4.0, 0.0, 7.0))
    lines += ["*CAMERAOBJECT {", '\t*NODE_NAME "Camera01"', '\t*NODE_PARENT "Turret"', "\t*CAMERA_TYPE Free"]
    lines += camera.lines("Camera01", "1 1 1")
    lines += ["\t*CAMERA_SETTINGS {", "\t\t*TIMEVALUE 0", "\t\t*CAMERA_NEAR 0.0000", "\t\t*CAMERA_FAR 1000.0000",
              "\t\t*CAMERA_FOV 0.7854", "\t\t*CAMERA_TDIST 160.0000", "\t}", "}"]

    omni = hull_frame.child(IDENTITY, (-5.0, 10.0, 30.0))
    lines += ["*LIGHTOBJECT {", '\t*NODE_NAME "Omni01"', '\t*NODE_PARENT "Hull"', "\t*LIGHT_TYPE Omni"]
    lines += omni.lines("Omni01")
    lines += ["\t*LIGHT_SHADOWS Off", "\t*LIGHT_USELIGHT 1", "\t*LIGHT_SPOTSHAPE Circle", "\t*LIGHT_USEGLOBAL 0",
              "\t*LIGHT_ABSMAPBIAS 0", "\t*LIGHT_OVERSHOOT 0", "\t*LIGHT_SETTINGS {", "\t\t*TIMEVALUE 0",
              "\t\t*LIGHT_COLOR 1.0000\t0.9490\t0.8392", "\t\t*LIGHT_INTENS 1.2000", "\t\t*LIGHT_ASPECT -1.0000",
              "\t\t*LIGHT_TDIST -1.0000", "\t\t*LIGHT_MAPBIAS 1.0000", "\t\t*LIGHT_MAPRANGE 4.0000",
              "\t\t*LIGHT_MAPSIZE 512", "\t\t*LIGHT_RAYBIAS 0.0000", "\t}", "}"]
    return meshes, lines


# ---------------------------------------------------------------- the brushes


def brush_meshes():
    box_local = [(x, y, z) for z in (0.0, 10.0) for y in (-6.0, 6.0) for x in (-8.0, 8.0)]
    box = Mesh("Box01", None, Frame(IDENTITY, (-30.0, 0.0, 0.0)), box_local, 0)
    for group, (quad, mtlid) in enumerate((((0, 2, 3, 1), 1), ((4, 5, 7, 6), 0), ((0, 1, 5, 4), 4),
                                           ((1, 3, 7, 5), 3), ((3, 2, 6, 7), 5), ((2, 0, 4, 6), 2))):
        box.cap(list(quad), (0.0, 0.0, 1.0, 1.0), (group + 2,), mtlid)

    # A ramp turned by the 3-4-5 angle: cosine 0.8 and sine 0.6 keep every
    # rotated coordinate exact in four decimals, so coplanar triangles stay
    # coplanar after rounding and the collision tool merges their planes.
    turn = math.degrees(math.atan2(0.6, 0.8))
    wedge_local = [(-6.0, -5.0, 0.0), (6.0, -5.0, 0.0), (-6.0, -5.0, 6.0),
                   (-6.0, 5.0, 0.0), (6.0, 5.0, 0.0), (-6.0, 5.0, 6.0)]
    wedge = Mesh("Wedge01", None, Frame(rot_z(turn), (0.0, 25.0, 0.0)), wedge_local, 0)
    for group, poly in enumerate(((0, 1, 2), (3, 5, 4), (0, 3, 4, 1), (1, 4, 5, 2), (0, 2, 5, 3))):
        wedge.cap(list(poly), (0.0, 0.0, 1.0, 1.0), (group + 1,), 0)

    # Lying on its side: local z runs along world -y. The hexagon is not quite
    # regular so that its corners are exact.
    hexagon = [(4.0, 0.0), (2.0, 3.5), (-2.0, 3.5), (-4.0, 0.0), (-2.0, -3.5), (2.0, -3.5)]
    lying = ((1.0, 0.0, 0.0), (0.0, 0.0, 1.0), (0.0, -1.0, 0.0))
    cylinder = prism("Cylinder01", None, Frame(lying, (30.0, 6.0, 5.0)),
                     [(x, y, 0.0) for x, y in hexagon], [(x, y, 12.0) for x, y in hexagon], 0,
                     smoothing=((1,), (2,), (3,)), mtlids=(0,), cap_mtlid=0)
    return [box, wedge, cylinder]


def brushes_ase():
    meshes = brush_meshes()
    lines = header("brushes.max") + ["*MATERIAL_LIST {", "\t*MATERIAL_COUNT 1"]
    lines += standard(2, "*MATERIAL 0 {", "Collision", (0.3000, 0.0000, 0.3000), (0.6000, 0.0000, 0.6000),
                      (0.9000, 0.9000, 0.9000), transparency=0.5)
    lines += ["}"]
    for mesh in meshes:
        lines += mesh.lines()
    return meshes, lines


# ---------------------------------------------------------------- model script


def node_name(line):
    # Between the first double quote and the line's last character.
    return line[line.index('"') + 1:-1]


def scene_script(ase_lines, ase_name):
    """The model script for a run with the file name alone: one LOD, parents
    kept, names as they are; elements in file order."""
    elements = []
    kinds = (("*GEOMOBJECT", "MESH", None), ("*CAMERAOBJECT", "CAMERA", "*CAMERA_TYPE Free"),
             ("*LIGHTOBJECT", "OMNILIGHT", "*LIGHT_TYPE Omni"))
    lines = iter(ase_lines)
    for current in lines:
        for keyword, kind, required in kinds:
            if keyword not in current:
                continue
            line = next(lines, "")
            if "*NODE_NAME" in line:
                name, parent = node_name(line), "NONE"
                line = next(lines, "")
                if "*NODE_PARENT" in line:
                    parent = node_name(line)
                    if required:
                        line = next(lines, "")
                if required is None or required in line:
                    elements.append((kind, name, parent))
            current = ""
    model = ase_name.rsplit(".", 1)[0]
    out = ["1", "DKS  2.0", "MODEL " + model, "", "RADIUS 10", "", "LODS 1", "LOD0 %s\t0" % ase_name, "",
           "ELEMENTS %d" % len(elements)]
    for kind, name, parent in elements:
        out += ["", "ELEMENT " + kind, "NAME " + name]
        out.append(("LOD0 " if kind == "MESH" else "DEFINITION ") + name)
        out.append("PARENT " + parent)
    return "".join(line + "\r\n" for line in out)


# ---------------------------------------------------------------- checks


def close(a, b, tolerance):
    return all(abs(x - y) <= tolerance for x, y in zip(a, b))


def check_frame(frame, label):
    rows = frame.rows
    for i in range(3):
        if abs(dot(rows[i], rows[i]) - 1.0) > 2e-4:
            raise AssertionError("%s: row %d is not unit length" % (label, i))
        for j in range(i + 1, 3):
            if abs(dot(rows[i], rows[j])) > 2e-4:
                raise AssertionError("%s: rows %d and %d are not orthogonal" % (label, i, j))
    if dot(cross(rows[0], rows[1]), rows[2]) < 0.999:
        raise AssertionError("%s: rows are left-handed" % label)
    if frame.angle == 0.0:
        if frame.axis != (0.0, 0.0, 0.0) or not close(sum(rows, ()), sum(IDENTITY, ()), 0.0):
            raise AssertionError("%s: an unrotated node is written with axis 0 0 0, angle 0" % label)
    else:
        rebuilt = rows_from_axis_angle(tuple(q(v) for v in frame.axis), q(frame.angle))
        if not all(close(r, s, 5e-4) for r, s in zip(rows, rebuilt)):
            raise AssertionError("%s: TM_ROTAXIS/TM_ROTANGLE disagree with the rows" % label)


def check_mesh(mesh, convex=False):
    label = mesh.name
    faces = mesh.faces()
    check_frame(mesh.frame, label)
    for local, world in zip(mesh.local, mesh.vertices):
        back = tuple(dot(mesh.frame.rows[i], sub(world, mesh.frame.pos)) for i in range(3))
        if not close(back, local, 1e-3):
            raise AssertionError("%s: vertex %s does not sit at its local position" % (label, world))
    directed = {}
    for index, (verts, tverts, colours, flags, _, _, _) in enumerate(faces):
        if len(set(verts)) != 3 or not all(0 <= v < len(mesh.vertices) for v in verts):
            raise AssertionError("%s: face %d has a bad vertex index" % (label, index))
        if not all(0 <= t < len(mesh.tverts) for t in tverts):
            raise AssertionError("%s: face %d has a bad texture index" % (label, index))
        if mesh.cverts and not all(0 <= c < len(mesh.cverts) for c in colours):
            raise AssertionError("%s: face %d has a bad colour index" % (label, index))
        for k in range(3):
            edge = (verts[k], verts[(k + 1) % 3])
            if edge in directed:
                raise AssertionError("%s: edge %s used twice in one direction" % (label, edge))
            directed[edge] = (index, flags[k])
    for (a, b), (index, flag) in directed.items():
        twin = directed.get((b, a))
        if twin is None:
            raise AssertionError("%s: edge %d-%d is open" % (label, a, b))
        if flag != twin[1]:
            raise AssertionError("%s: edge %d-%d has different visibility on its two faces" % (label, a, b))
        if (flag == 0) != (faces[index][6] == faces[twin[0]][6]):
            raise AssertionError("%s: edge %d-%d: hidden must mean inside one polygon" % (label, a, b))
    # Divergence theorem: positive when every face runs counter-clockwise from outside.
    volume = sum(dot(mesh.vertices[f[0][0]], cross(mesh.vertices[f[0][1]], mesh.vertices[f[0][2]]))
                 for f in faces) / 6.0
    if volume <= 0.0:
        raise AssertionError("%s: faces point inwards (volume %f)" % (label, volume))
    face_normals, vertex_normals = mesh.normals(faces)
    for n in face_normals + [n for corner in vertex_normals for n in corner]:
        if abs(math.sqrt(dot(tuple(map(q, n)), tuple(map(q, n)))) - 1.0) > 2e-4:
            raise AssertionError("%s: a normal is not unit length" % label)
    centre = scale(tuple(map(sum, zip(*mesh.vertices))), 1.0 / len(mesh.vertices))
    for index, f in enumerate(faces):
        if dot(face_normals[index], sub(mesh.vertices[f[0][0]], centre)) <= 0.0:
            raise AssertionError("%s: face %d faces the centre" % (label, index))
        if convex:
            for v in mesh.vertices:
                if dot(face_normals[index], sub(v, mesh.vertices[f[0][0]])) > 1e-6:
                    raise AssertionError("%s: vertex %s is in front of face %d" % (label, v, index))
    return volume


def check_text(lines, label):
    for number, line in enumerate(lines, 1):
        if len(line) >= 250 or "\r" in line or line != line.rstrip(" "):
            raise AssertionError("%s:%d: line too long or badly ended" % (label, number))
        if "*NODE_NAME" in line or "*NODE_PARENT" in line or "*MATERIAL_NAME" in line:
            if " " in node_name(line):
                raise AssertionError("%s:%d: names must be one word" % (label, number))
    if sum(line.count("{") for line in lines) != sum(line.count("}") for line in lines):
        raise AssertionError("%s: braces do not balance" % label)


# ---------------------------------------------------------------- main


def main():
    root = pathlib.Path(__file__).resolve().parent.parent
    folder = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else root / "examples"
    vehicle, vehicle_lines = vehicle_ase()
    brushes, brush_lines = brushes_ase()
    for mesh in vehicle:
        check_mesh(mesh)
        if len(mesh.tverts) <= len(mesh.vertices):
            raise AssertionError("%s: expected texture seams" % mesh.name)
    for mesh in brushes:
        check_mesh(mesh, convex=True)
    check_text(vehicle_lines, "vehicle.ase")
    check_text(brush_lines, "brushes.ase")
    outputs = {
        "vehicle.ase": "\n".join(vehicle_lines) + "\n",
        "vehicle.dks": scene_script(vehicle_lines, "vehicle.ase"),
        "brushes.ase": "\n".join(brush_lines) + "\n",
    }
    folder.mkdir(parents=True, exist_ok=True)
    for name, text in outputs.items():
        (folder / name).write_bytes(text.encode("ascii"))
        print("wrote %s (%d lines)" % (folder / name, text.count("\n")))


if __name__ == "__main__":
    main()
